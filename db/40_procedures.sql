/* The changeover procedures called by the console:
     select RESULT  from EURO_READINESS(:UPDATE_ALL_DATA, :DISABLE_ALL_TRIGGERS)
     select ARESULT from EURO_CONVERSION(:ACURRENCY, :AFULL)
     select ARESULT from EURO_TROUBLESHOOTER
   Each returns one row at the end and writes its progress to EURO_LOG
   through EURO_LOG_WRITE, whose lines are visible to other connections at
   once. Failures are raised as E_EURO with a Bulgarian message. */

SET TERM ^ ;

/* Leva to euro at the fixed rate 1.95583, rounded half away from zero to
   the cent. Done in integer cents so no intermediate rounding can move a
   value that lies close to half a cent:
     eur_cents = floor((2 * |cents| * 100000 + 195583) / (2 * 195583)).
   Amounts above about 460 billion leva overflow BIGINT and raise an error
   rather than give a wrong value. */
CREATE FUNCTION EURO_BGN2EUR (AMOUNT NUMERIC(18,2))
RETURNS NUMERIC(18,2)
AS
  DECLARE CENTS BIGINT;
  DECLARE EUR_CENTS BIGINT;
BEGIN
  IF (AMOUNT IS NULL) THEN
    RETURN NULL;
  CENTS = CAST(AMOUNT * 100 AS BIGINT);
  EUR_CENTS = (ABS(CENTS) * 200000 + 195583) / 391166;
  IF (CENTS < 0) THEN
    EUR_CENTS = -EUR_CENTS;
  RETURN EUR_CENTS * 0.01;
END^

/* Runs the EURO_TEST_HOOK row of a procedure, if there is one. */
CREATE PROCEDURE EURO_TEST_HOOK_RUN (PROC_NAME VARCHAR(31))
AS
  DECLARE V_DELAY INTEGER;
  DECLARE V_FAIL VARCHAR(1000);
  DECLARE T0 TIMESTAMP;
  DECLARE WAITED INTEGER = 0;
  DECLARE NEXT_LINE INTEGER = 0;
BEGIN
  SELECT DELAY_MS, FAIL_MESSAGE FROM EURO_TEST_HOOK
   WHERE PROC_NAME = :PROC_NAME
    INTO :V_DELAY, :V_FAIL;
  IF (ROW_COUNT = 0) THEN
    EXIT;
  IF (V_DELAY > 0) THEN
  BEGIN
    /* PSQL has no sleep; spin on the clock. */
    T0 = CAST('NOW' AS TIMESTAMP);
    WHILE (WAITED < V_DELAY) DO
    BEGIN
      IF (WAITED >= NEXT_LINE) THEN
      BEGIN
        EXECUTE PROCEDURE EURO_LOG_WRITE(TRIM(PROC_NAME) || ': изчакване, ' ||
          NEXT_LINE || ' ms от ' || V_DELAY || ' ms');
        NEXT_LINE = NEXT_LINE + 500;
      END
      WAITED = DATEDIFF(MILLISECOND FROM T0 TO CAST('NOW' AS TIMESTAMP));
    END
  END
  IF (V_FAIL IS NOT NULL) THEN
  BEGIN
    EXECUTE PROCEDURE EURO_LOG_WRITE(TRIM(PROC_NAME) || ': ' || V_FAIL);
    EXCEPTION E_EURO V_FAIL;
  END
END^

/* Number of rows a single statement changed, run dynamically because the
   table and column names come from EURO_AMOUNT_TABLES/COLUMNS. */
CREATE PROCEDURE EURO_EXEC_COUNT (STMT VARCHAR(8000))
RETURNS (N INTEGER)
AS
BEGIN
  EXECUTE STATEMENT
    'EXECUTE BLOCK RETURNS (N INTEGER) AS BEGIN ' || STMT ||
    '; N = ROW_COUNT; SUSPEND; END'
    INTO :N;
  SUSPEND;
END^

/* Preparation, run while the database is still in leva.
   UPDATE_ALL_DATA = 1: NULL amounts of the columns marked FILL_NULL become
   0, line amounts are recomputed from quantity and price, invoice totals
   from their lines. DISABLE_ALL_TRIGGERS = 1: the triggers of the amount
   tables are set inactive (effective when the caller commits) and listed in
   EURO_DISABLED_TRIGGERS; EURO_CONVERSION switches them on again. A
   database already in euro keeps its triggers, as no conversion would
   follow to switch them back on. */
CREATE PROCEDURE EURO_READINESS (UPDATE_ALL_DATA INTEGER, DISABLE_ALL_TRIGGERS INTEGER)
RETURNS (RESULT VARCHAR(1000))
AS
  DECLARE CUR CHAR(3);
  DECLARE TBL VARCHAR(31);
  DECLARE TDESCR VARCHAR(100);
  DECLARE COL VARCHAR(31);
  DECLARE TRG VARCHAR(63);
  DECLARE N INTEGER;
  DECLARE STMT VARCHAR(8000);
  DECLARE FILLED INTEGER = 0;
  DECLARE RECOMPUTED INTEGER = 0;
  DECLARE DISABLED INTEGER = 0;
  DECLARE DUMMY INTEGER;
BEGIN
  EXECUTE PROCEDURE EURO_TEST_HOOK_RUN('EURO_READINESS');
  EXECUTE PROCEDURE EURO_LOG_WRITE('Подготовка за въвеждане на еврото: начало');
  SELECT CURRENCY FROM EURO_STATE WHERE ID = 1 INTO :CUR;
  EXECUTE PROCEDURE EURO_LOG_WRITE('Валута на базата данни: ' || COALESCE(CUR, '?'));

  FOR SELECT TRIM(TABLE_NAME), DESCR FROM EURO_AMOUNT_TABLES ORDER BY SORT_ORDER
      INTO :TBL, :TDESCR
  DO BEGIN
    EXECUTE STATEMENT 'SELECT COUNT(*) FROM "' || TBL || '"' INTO :N;
    EXECUTE PROCEDURE EURO_LOG_WRITE('Таблица ' || TBL || ' (' || TDESCR || '): ' ||
      N || ' записа');
  END

  /* The console keeps one transaction for its whole run (commit
     retaining), so the bulk flag must not outlive this block. */
  BEGIN
    DUMMY = RDB$SET_CONTEXT('USER_TRANSACTION', 'EURO_BULK', '1');

    IF (UPDATE_ALL_DATA = 1) THEN
    BEGIN
      FOR SELECT TRIM(C.TABLE_NAME), TRIM(C.COLUMN_NAME)
            FROM EURO_AMOUNT_COLUMNS C
            JOIN EURO_AMOUNT_TABLES T ON T.TABLE_NAME = C.TABLE_NAME
           WHERE C.FILL_NULL = 1
           ORDER BY T.SORT_ORDER, C.COLUMN_NAME
            INTO :TBL, :COL
      DO BEGIN
        STMT = 'UPDATE "' || TBL || '" SET "' || COL || '" = 0 WHERE "' || COL || '" IS NULL';
        SELECT N FROM EURO_EXEC_COUNT(:STMT) INTO :N;
        FILLED = FILLED + N;
        EXECUTE PROCEDURE EURO_LOG_WRITE('Таблица ' || TBL || ', поле ' || COL ||
          ': попълнени празни суми: ' || N);
      END

      UPDATE INVOICE_LINES
         SET AMOUNT = CAST(QTY * PRICE AS NUMERIC(15,2))
       WHERE AMOUNT IS DISTINCT FROM CAST(QTY * PRICE AS NUMERIC(15,2));
      N = ROW_COUNT;
      RECOMPUTED = RECOMPUTED + N;
      EXECUTE PROCEDURE EURO_LOG_WRITE('Таблица INVOICE_LINES: преизчислени суми на редове: ' || N);

      UPDATE INVOICES I
         SET NET_TOTAL = (SELECT COALESCE(SUM(L.AMOUNT), 0) FROM INVOICE_LINES L
                           WHERE L.INVOICE_ID = I.ID)
       WHERE NET_TOTAL IS DISTINCT FROM
             (SELECT COALESCE(SUM(L.AMOUNT), 0) FROM INVOICE_LINES L WHERE L.INVOICE_ID = I.ID);
      N = ROW_COUNT;
      UPDATE INVOICES SET VAT = CAST(NET_TOTAL * 0.20 AS NUMERIC(15,2))
       WHERE VAT IS DISTINCT FROM CAST(NET_TOTAL * 0.20 AS NUMERIC(15,2));
      N = N + ROW_COUNT;
      UPDATE INVOICES SET TOTAL = NET_TOTAL + VAT
       WHERE TOTAL IS DISTINCT FROM NET_TOTAL + VAT;
      N = N + ROW_COUNT;
      RECOMPUTED = RECOMPUTED + N;
      EXECUTE PROCEDURE EURO_LOG_WRITE('Таблица INVOICES: преизчислени суми на фактури: ' || N);
    END

    IF (DISABLE_ALL_TRIGGERS = 1 AND CUR = 'EUR') THEN
      EXECUTE PROCEDURE EURO_LOG_WRITE('Базата данни вече е в евро: тригерите остават включени');
    ELSE IF (DISABLE_ALL_TRIGGERS = 1) THEN
    BEGIN
      FOR SELECT TRIM(R.RDB$TRIGGER_NAME), TRIM(R.RDB$RELATION_NAME)
            FROM RDB$TRIGGERS R
            JOIN EURO_AMOUNT_TABLES T ON T.TABLE_NAME = R.RDB$RELATION_NAME
           WHERE COALESCE(R.RDB$SYSTEM_FLAG, 0) = 0
             AND COALESCE(R.RDB$TRIGGER_INACTIVE, 0) = 0
           ORDER BY T.SORT_ORDER, R.RDB$TRIGGER_NAME
            INTO :TRG, :TBL
      DO BEGIN
        /* DDL in the caller's transaction: takes effect when it commits. */
        EXECUTE STATEMENT 'ALTER TRIGGER "' || TRG || '" INACTIVE';
        UPDATE OR INSERT INTO EURO_DISABLED_TRIGGERS (TRIGGER_NAME, DISABLED_AT)
          VALUES (:TRG, CAST('NOW' AS TIMESTAMP));
        DISABLED = DISABLED + 1;
        EXECUTE PROCEDURE EURO_LOG_WRITE('Изключен тригер ' || TRG || ' на таблица ' || TBL);
      END
      EXECUTE PROCEDURE EURO_LOG_WRITE('Изключени тригери: ' || DISABLED);
    END

    UPDATE EURO_STATE SET READY_AT = CAST('NOW' AS TIMESTAMP) WHERE ID = 1;
    DUMMY = RDB$SET_CONTEXT('USER_TRANSACTION', 'EURO_BULK', NULL);
    WHEN ANY DO
    BEGIN
      DUMMY = RDB$SET_CONTEXT('USER_TRANSACTION', 'EURO_BULK', NULL);
      EXCEPTION;
    END
  END

  RESULT = 'Попълнени празни суми: ' || FILLED || '; преизчислени суми: ' ||
    RECOMPUTED || '; изключени тригери: ' || DISABLED;
  EXECUTE PROCEDURE EURO_LOG_WRITE('Подготовка за въвеждане на еврото: край. ' || RESULT);
  SUSPEND;
END^

/* The switch to the euro.
   AFULL = 1: every amount column listed in EURO_AMOUNT_COLUMNS is divided
   by 1.95583 and rounded half up to the cent (EURO_BGN2EUR), table by table
   in batches of 5000 rows, with a log line after each batch.
   AFULL = 0: a new database whose amounts are already entered in euro;
   nothing is divided.
   Either way EURO_STATE then says EUR, and any later call is refused, so no
   amount is ever divided twice. The EURO_STATE row is locked first, so a
   concurrent second call fails on the lock instead of converting again.
   Triggers that EURO_READINESS switched off are switched on again once the
   amounts are in euro: the office's product needs them for new entries.
   While this runs, the triggers that are still active skip their work
   (EURO_BULK), so the result is the same whether or not the preparation
   was run first. */
CREATE PROCEDURE EURO_CONVERSION (ACURRENCY VARCHAR(3), AFULL INTEGER)
RETURNS (ARESULT VARCHAR(1000))
AS
  DECLARE BATCH INTEGER = 5000;
  DECLARE CUR CHAR(3);
  DECLARE TBL VARCHAR(31);
  DECLARE TDESCR VARCHAR(100);
  DECLARE COL VARCHAR(31);
  DECLARE SET_LIST VARCHAR(4000);
  DECLARE STMT VARCHAR(8000);
  DECLARE TRG VARCHAR(63);
  DECLARE ROWS_TOTAL INTEGER;
  DECLARE ROWS_DONE INTEGER;
  DECLARE CONVERTED INTEGER = 0;
  DECLARE LO INTEGER;
  DECLARE HI INTEGER;
  DECLARE MAX_ID INTEGER;
  DECLARE N INTEGER;
  DECLARE T0 TIMESTAMP;
  DECLARE DUMMY INTEGER;
BEGIN
  EXECUTE PROCEDURE EURO_TEST_HOOK_RUN('EURO_CONVERSION');
  EXECUTE PROCEDURE EURO_LOG_WRITE('Преминаване към еврото: начало, валута ' ||
    COALESCE(ACURRENCY, '(няма)') || ', ' ||
    CASE AFULL WHEN 1 THEN 'превалутиране на данните'
               WHEN 0 THEN 'нова база данни'
               ELSE 'режим ' || COALESCE(CAST(AFULL AS VARCHAR(11)), '(няма)') END);

  IF (ACURRENCY IS DISTINCT FROM 'EUR') THEN
  BEGIN
    EXECUTE PROCEDURE EURO_LOG_WRITE('Отказ: неподдържана валута');
    EXCEPTION E_EURO 'Неподдържана валута „' || COALESCE(ACURRENCY, '') ||
      '“. Допуска се само преминаване към EUR.';
  END
  IF (AFULL IS NULL OR AFULL NOT IN (0, 1)) THEN
  BEGIN
    EXECUTE PROCEDURE EURO_LOG_WRITE('Отказ: неправилен режим');
    EXCEPTION E_EURO 'Неправилен режим на преминаване към еврото: ' ||
      COALESCE(CAST(AFULL AS VARCHAR(11)), '(няма)') || '. Допуска се 1 (превалутиране) или 0 (нова база данни).';
  END

  UPDATE EURO_STATE SET ID = ID WHERE ID = 1;
  SELECT CURRENCY FROM EURO_STATE WHERE ID = 1 INTO :CUR;
  IF (CUR = 'EUR') THEN
  BEGIN
    EXECUTE PROCEDURE EURO_LOG_WRITE('Отказ: базата данни вече е в евро');
    EXCEPTION E_EURO 'Базата данни вече е в евро. Повторно превалутиране не се допуска.';
  END

  /* The console keeps one transaction for its whole run (commit
     retaining), so the bulk flag must not outlive this block. */
  BEGIN
    DUMMY = RDB$SET_CONTEXT('USER_TRANSACTION', 'EURO_BULK', '1');

    IF (AFULL = 1) THEN
    BEGIN
      FOR SELECT TRIM(TABLE_NAME), DESCR FROM EURO_AMOUNT_TABLES ORDER BY SORT_ORDER
          INTO :TBL, :TDESCR
      DO BEGIN
        T0 = CAST('NOW' AS TIMESTAMP);
        SET_LIST = NULL;
        FOR SELECT TRIM(COLUMN_NAME) FROM EURO_AMOUNT_COLUMNS
             WHERE TABLE_NAME = :TBL ORDER BY COLUMN_NAME
              INTO :COL
        DO
          SET_LIST = COALESCE(SET_LIST || ', ', '') ||
            '"' || COL || '" = EURO_BGN2EUR("' || COL || '")';

        EXECUTE STATEMENT 'SELECT COUNT(*), MIN(ID), MAX(ID) FROM "' || TBL || '"'
          INTO :ROWS_TOTAL, :LO, :MAX_ID;
        EXECUTE PROCEDURE EURO_LOG_WRITE('Таблица ' || TBL || ' (' || TDESCR ||
          '): превалутиране на ' || ROWS_TOTAL || ' записа');
        ROWS_DONE = 0;
        WHILE (SET_LIST IS NOT NULL AND LO <= MAX_ID) DO
        BEGIN
          HI = LO + BATCH - 1;
          STMT = 'UPDATE "' || TBL || '" SET ' || SET_LIST ||
            ' WHERE ID BETWEEN ' || LO || ' AND ' || HI;
          SELECT N FROM EURO_EXEC_COUNT(:STMT) INTO :N;
          ROWS_DONE = ROWS_DONE + N;
          IF (N > 0) THEN
            EXECUTE PROCEDURE EURO_LOG_WRITE('Таблица ' || TBL || ': превалутирани ' ||
              ROWS_DONE || ' от ' || ROWS_TOTAL || ' записа');
          LO = HI + 1;
        END
        CONVERTED = CONVERTED + ROWS_DONE;
        EXECUTE PROCEDURE EURO_LOG_WRITE('Таблица ' || TBL || ': готово, ' || ROWS_DONE ||
          ' записа за ' ||
            CAST(DATEDIFF(MILLISECOND FROM T0 TO CAST('NOW' AS TIMESTAMP)) AS INTEGER) || ' ms');
      END
    END
    ELSE
      EXECUTE PROCEDURE EURO_LOG_WRITE('Нова база данни: сумите не се превалутират');

    UPDATE EURO_STATE
       SET CURRENCY = 'EUR',
           CONVERTED_AT = CAST('NOW' AS TIMESTAMP),
           CONVERSION_MODE = :AFULL,
           CONVERTED_ROWS = :CONVERTED
     WHERE ID = 1;

    FOR SELECT TRIM(D.TRIGGER_NAME) FROM EURO_DISABLED_TRIGGERS D
         WHERE EXISTS (SELECT 1 FROM RDB$TRIGGERS R WHERE R.RDB$TRIGGER_NAME = D.TRIGGER_NAME)
         ORDER BY D.TRIGGER_NAME
          INTO :TRG
    DO BEGIN
      EXECUTE STATEMENT 'ALTER TRIGGER "' || TRG || '" ACTIVE';
      EXECUTE PROCEDURE EURO_LOG_WRITE('Включен отново тригер ' || TRG);
    END
    DELETE FROM EURO_DISABLED_TRIGGERS;
    DUMMY = RDB$SET_CONTEXT('USER_TRANSACTION', 'EURO_BULK', NULL);
    WHEN ANY DO
    BEGIN
      DUMMY = RDB$SET_CONTEXT('USER_TRANSACTION', 'EURO_BULK', NULL);
      EXCEPTION;
    END
  END

  ARESULT = 'Базата данни е в евро. Превалутирани записи: ' || CONVERTED;
  EXECUTE PROCEDURE EURO_LOG_WRITE('Преминаване към еврото: край. ' || ARESULT);
  SUSPEND;
END^

/* Check after the switch: every invoice's NET_TOTAL must equal the sum of
   its (individually rounded) lines, VAT 20 % of that rounded half up, and
   TOTAL their sum. Differing invoices are corrected; the result names how
   many and by how much TOTAL moved in all (sum of absolute changes). */
CREATE PROCEDURE EURO_TROUBLESHOOTER
RETURNS (ARESULT VARCHAR(4000))
AS
  DECLARE CUR CHAR(3);
  DECLARE CUR_LABEL VARCHAR(10);
  DECLARE INV_ID INTEGER;
  DECLARE INV_NO VARCHAR(10);
  DECLARE OLD_NET NUMERIC(15,2);
  DECLARE OLD_VAT NUMERIC(15,2);
  DECLARE OLD_TOTAL NUMERIC(15,2);
  DECLARE NET NUMERIC(15,2);
  DECLARE NEW_VAT NUMERIC(15,2);
  DECLARE NEW_TOTAL NUMERIC(15,2);
  DECLARE CHECKED INTEGER = 0;
  DECLARE FIXED INTEGER = 0;
  DECLARE DIFF NUMERIC(18,2) = 0;
BEGIN
  EXECUTE PROCEDURE EURO_TEST_HOOK_RUN('EURO_TROUBLESHOOTER');
  EXECUTE PROCEDURE EURO_LOG_WRITE('Проверка на данните: начало');
  SELECT CURRENCY FROM EURO_STATE WHERE ID = 1 INTO :CUR;
  CUR_LABEL = CASE CUR WHEN 'BGN' THEN 'лв.' ELSE COALESCE(CUR, '') END;

  FOR SELECT I.ID, I.INV_NO, I.NET_TOTAL, I.VAT, I.TOTAL,
             (SELECT COALESCE(SUM(L.AMOUNT), 0) FROM INVOICE_LINES L
               WHERE L.INVOICE_ID = I.ID)
        FROM INVOICES I
        INTO :INV_ID, :INV_NO, :OLD_NET, :OLD_VAT, :OLD_TOTAL, :NET
  DO BEGIN
    CHECKED = CHECKED + 1;
    NEW_VAT = CAST(NET * 0.20 AS NUMERIC(15,2));
    NEW_TOTAL = NET + NEW_VAT;
    IF (OLD_NET IS DISTINCT FROM NET OR OLD_VAT IS DISTINCT FROM NEW_VAT
        OR OLD_TOTAL IS DISTINCT FROM NEW_TOTAL) THEN
    BEGIN
      UPDATE INVOICES
         SET NET_TOTAL = :NET, VAT = :NEW_VAT, TOTAL = :NEW_TOTAL
       WHERE ID = :INV_ID;
      FIXED = FIXED + 1;
      DIFF = DIFF + ABS(NEW_TOTAL - COALESCE(OLD_TOTAL, 0));
      IF (FIXED <= 10) THEN
        EXECUTE PROCEDURE EURO_LOG_WRITE('Фактура № ' || INV_NO || ': сума общо ' ||
          COALESCE(CAST(OLD_TOTAL AS VARCHAR(20)), '(няма)') || ' -> ' || NEW_TOTAL || ' ' || CUR_LABEL);
    END
    IF (MOD(CHECKED, 5000) = 0) THEN
      EXECUTE PROCEDURE EURO_LOG_WRITE('Проверени фактури: ' || CHECKED ||
        ', коригирани: ' || FIXED);
  END

  IF (FIXED = 0) THEN
    ARESULT = 'Няма открити разлики';
  ELSE
    ARESULT = 'Коригирани фактури: ' || FIXED || '; разлика общо: ' || DIFF || ' ' || CUR_LABEL;
  EXECUTE PROCEDURE EURO_LOG_WRITE('Проверка на данните: край. Проверени фактури: ' ||
    CHECKED || '. ' || ARESULT);
  SUSPEND;
END^

SET TERM ; ^

COMMIT;
