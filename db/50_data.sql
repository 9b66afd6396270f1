/* Demo data. Fixed rows first (the tariff and a few cash payments whose
   euro values are known), then a deterministic generator for the bulk:
   invoices with three lines each and one cash receipt per invoice, plus
   cash payments. The generator is a plain linear congruential sequence, so
   every build holds the same values. */

/* Fees in leva. MIN_FEE/MAX_FEE only for fees that depend on the value of
   the deal; those lines get prices between the two. */
INSERT INTO TARIFF (ID, CODE, NAME, FEE, MIN_FEE, MAX_FEE) VALUES
  (1, 'чл.5', 'Удостоверяване на подпис', 6.00, NULL, NULL);
INSERT INTO TARIFF (ID, CODE, NAME, FEE, MIN_FEE, MAX_FEE) VALUES
  (2, 'чл.6', 'Удостоверяване на подпис и съдържание', 15.00, NULL, NULL);
INSERT INTO TARIFF (ID, CODE, NAME, FEE, MIN_FEE, MAX_FEE) VALUES
  (3, 'чл.7', 'Удостоверяване на дата', 6.00, NULL, NULL);
INSERT INTO TARIFF (ID, CODE, NAME, FEE, MIN_FEE, MAX_FEE) VALUES
  (4, 'чл.8', 'Заверка на препис (на страница)', 3.00, NULL, NULL);
INSERT INTO TARIFF (ID, CODE, NAME, FEE, MIN_FEE, MAX_FEE) VALUES
  (5, 'чл.9', 'Пълномощно с нотариална заверка', 12.00, NULL, NULL);
INSERT INTO TARIFF (ID, CODE, NAME, FEE, MIN_FEE, MAX_FEE) VALUES
  (6, 'чл.10', 'Нотариален акт за покупко-продажба', 210.00, 30.00, 6000.00);
INSERT INTO TARIFF (ID, CODE, NAME, FEE, MIN_FEE, MAX_FEE) VALUES
  (7, 'чл.10а', 'Нотариален акт за дарение', 185.00, 30.00, 6000.00);
INSERT INTO TARIFF (ID, CODE, NAME, FEE, MIN_FEE, MAX_FEE) VALUES
  (8, 'чл.11', 'Договор за ипотека', 134.61, 30.00, 3000.00);
INSERT INTO TARIFF (ID, CODE, NAME, FEE, MIN_FEE, MAX_FEE) VALUES
  (9, 'чл.12', 'Договор за залог на търговско предприятие', 315.50, 50.00, 6000.00);
INSERT INTO TARIFF (ID, CODE, NAME, FEE, MIN_FEE, MAX_FEE) VALUES
  (10, 'чл.13', 'Протест на запис на заповед', 41.18, NULL, NULL);
INSERT INTO TARIFF (ID, CODE, NAME, FEE, MIN_FEE, MAX_FEE) VALUES
  (11, 'чл.14', 'Връчване на нотариална покана', 20.00, NULL, NULL);
INSERT INTO TARIFF (ID, CODE, NAME, FEE, MIN_FEE, MAX_FEE) VALUES
  (12, 'чл.15', 'Декларация с нотариална заверка', 7.97, NULL, NULL);
INSERT INTO TARIFF (ID, CODE, NAME, FEE, MIN_FEE, MAX_FEE) VALUES
  (13, 'чл.16', 'Справка в имотния регистър', 5.00, NULL, NULL);
INSERT INTO TARIFF (ID, CODE, NAME, FEE, MIN_FEE, MAX_FEE) VALUES
  (14, 'чл.17', 'Изготвяне на проект на документ', 35.00, NULL, NULL);
INSERT INTO TARIFF (ID, CODE, NAME, FEE, MIN_FEE, MAX_FEE) VALUES
  (15, 'чл.18', 'Приемане на депозит', 58.67, 20.00, 1955.83);
INSERT INTO TARIFF (ID, CODE, NAME, FEE, MIN_FEE, MAX_FEE) VALUES
  (16, 'чл.19', 'Заверка на превод', 9.80, NULL, NULL);
INSERT INTO TARIFF (ID, CODE, NAME, FEE, MIN_FEE, MAX_FEE) VALUES
  (17, 'чл.20', 'Констативен протокол', 63.32, NULL, NULL);
INSERT INTO TARIFF (ID, CODE, NAME, FEE, MIN_FEE, MAX_FEE) VALUES
  (18, 'чл.21', 'Удостоверяване на съдържание на частен документ', 11.73, NULL, NULL);

/* Cash payments with known euro values (half-up boundary cases):
     1200.42 -> 613.77  (0.500003 of a cent above the half: rounds up)
       41.18 ->  21.05  (0.49997 of a cent: rounds down)
      134.61 ->  68.83  (0.50001: rounds up; truncation would give 68.82)
        0.01 ->   0.01
     1955.83 -> 1000.00 (exact)
     -134.61 -> -68.83  (reversal: half away from zero)
      100.00 ->  51.13
        NULL ->  NULL   (EURO_READINESS with UPDATE_ALL_DATA = 1 makes it 0) */
INSERT INTO CASH_PAYMENTS (ID, DOC_NO, DOC_DATE, PAYEE, PURPOSE, AMOUNT) VALUES
  (1, 'Р0000001', DATE '2025-01-03', 'Имоти Тракия ЕООД', 'Наем на офис за януари', 1200.42);
INSERT INTO CASH_PAYMENTS (ID, DOC_NO, DOC_DATE, PAYEE, PURPOSE, AMOUNT) VALUES
  (2, 'Р0000002', DATE '2025-01-03', 'Агенция по вписванията', 'Такса за вписване', 41.18);
INSERT INTO CASH_PAYMENTS (ID, DOC_NO, DOC_DATE, PAYEE, PURPOSE, AMOUNT) VALUES
  (3, 'Р0000003', DATE '2025-01-06', 'Електроразпределение Юг ЕАД', 'Електроенергия', 134.61);
INSERT INTO CASH_PAYMENTS (ID, DOC_NO, DOC_DATE, PAYEE, PURPOSE, AMOUNT) VALUES
  (4, 'Р0000004', DATE '2025-01-06', 'Банка', 'Закръгляване', 0.01);
INSERT INTO CASH_PAYMENTS (ID, DOC_NO, DOC_DATE, PAYEE, PURPOSE, AMOUNT) VALUES
  (5, 'Р0000005', DATE '2025-01-31', 'Служител', 'Работна заплата', 1955.83);
INSERT INTO CASH_PAYMENTS (ID, DOC_NO, DOC_DATE, PAYEE, PURPOSE, AMOUNT) VALUES
  (6, 'Р0000006', DATE '2025-02-03', 'Електроразпределение Юг ЕАД', 'Сторно: електроенергия', -134.61);
INSERT INTO CASH_PAYMENTS (ID, DOC_NO, DOC_DATE, PAYEE, PURPOSE, AMOUNT) VALUES
  (7, 'Р0000007', DATE '2025-02-04', 'Книжарница „Орфей“', 'Канцеларски материали', 100.00);
INSERT INTO CASH_PAYMENTS (ID, DOC_NO, DOC_DATE, PAYEE, PURPOSE, AMOUNT) VALUES
  (8, 'Р0000008', DATE '2025-02-05', 'Куриер', 'Неприключен разход', NULL);

COMMIT;

SET TERM ^ ;

EXECUTE BLOCK AS
  DECLARE N_INV INTEGER;
  DECLARE N_PAY INTEGER;
  DECLARE N_TARIFF INTEGER;
  DECLARE SEED BIGINT = 4711;
  DECLARE R INTEGER;
  DECLARE I INTEGER = 0;
  DECLARE J INTEGER;
  DECLARE LINE_ID INTEGER = 0;
  DECLARE CLIENT VARCHAR(120);
  DECLARE D DATE;
  DECLARE T_ID INTEGER;
  DECLARE QTY INTEGER;
  DECLARE FEE NUMERIC(15,2);
  DECLARE MIN_FEE NUMERIC(15,2);
  DECLARE MAX_FEE NUMERIC(15,2);
  DECLARE PRICE NUMERIC(15,2);
  DECLARE NET NUMERIC(15,2);
  DECLARE VAT NUMERIC(15,2);
  DECLARE DUMMY INTEGER;
BEGIN
  /* Totals are computed here; the line triggers need not recompute them
     row by row. */
  DUMMY = RDB$SET_CONTEXT('USER_TRANSACTION', 'EURO_BULK', '1');
  SELECT COUNT(*) FROM TARIFF INTO :N_TARIFF;
  /* Size: 200000 invoices unless the loader set DEMO_INVOICES for this
     session (tests use small databases). Payments follow at one tenth. */
  N_INV = COALESCE(CAST(RDB$GET_CONTEXT('USER_SESSION', 'DEMO_INVOICES') AS INTEGER), 200000);
  N_PAY = N_INV / 10;

  WHILE (I < N_INV) DO
  BEGIN
    I = I + 1;
    SEED = MOD(SEED * 1103515245 + 12345, 2147483648);
    R = SEED / 65536;
    IF (MOD(I, 7) = 0) THEN
      CLIENT = '„' ||
        DECODE(MOD(R, 8), 0, 'Тракия Агро', 1, 'Марица Строй', 2, 'Родопи Транс',
                          3, 'Бряст', 4, 'Пловдив Имоти', 5, 'Балкан Консулт',
                          6, 'Стара планина', 'Хеброс Трейд') || '“ ' ||
        DECODE(MOD(R / 8, 3), 0, 'ООД', 1, 'ЕООД', 'АД');
    ELSE IF (MOD(R, 2) = 0) THEN
      CLIENT =
        DECODE(MOD(R / 2, 8), 0, 'Иван', 1, 'Георги', 2, 'Димитър', 3, 'Петър',
                              4, 'Николай', 5, 'Стоян', 6, 'Тодор', 'Христо') || ' ' ||
        DECODE(MOD(R / 16, 10), 0, 'Иванов', 1, 'Петров', 2, 'Георгиев', 3, 'Димитров',
                                4, 'Стоянов', 5, 'Тодоров', 6, 'Николов', 7, 'Христов',
                                8, 'Колев', 'Маринов');
    ELSE
      CLIENT =
        DECODE(MOD(R / 2, 8), 0, 'Мария', 1, 'Елена', 2, 'Десислава', 3, 'Йорданка',
                              4, 'Ивана', 5, 'Радка', 6, 'Светла', 'Надежда') || ' ' ||
        DECODE(MOD(R / 16, 10), 0, 'Иванова', 1, 'Петрова', 2, 'Георгиева', 3, 'Димитрова',
                                4, 'Стоянова', 5, 'Тодорова', 6, 'Николова', 7, 'Христова',
                                8, 'Колева', 'Маринова');
    D = DATEADD(DAY, CAST((I - 1) AS BIGINT) * 3650 / N_INV, DATE '2016-01-04');

    NET = 0;
    J = 0;
    WHILE (J < 3) DO
    BEGIN
      J = J + 1;
      LINE_ID = LINE_ID + 1;
      SEED = MOD(SEED * 1103515245 + 12345, 2147483648);
      R = SEED / 65536;
      T_ID = MOD(R, N_TARIFF) + 1;
      QTY = 1 + MOD(R / 32, 3);
      SELECT FEE, MIN_FEE, MAX_FEE FROM TARIFF WHERE ID = :T_ID
        INTO :FEE, :MIN_FEE, :MAX_FEE;
      IF (MIN_FEE IS NULL) THEN
        PRICE = FEE;
      ELSE
      BEGIN
        QTY = 1;
        PRICE = MIN_FEE + MOD(SEED, 500000) * 0.01;
        IF (PRICE > MAX_FEE) THEN
          PRICE = MAX_FEE - MOD(SEED / 7, 10000) * 0.01;
      END
      INSERT INTO INVOICE_LINES (ID, INVOICE_ID, LINE_NO, TARIFF_ID, QTY, PRICE, AMOUNT, CHANGED_AT)
      VALUES (:LINE_ID, :I, :J, :T_ID, :QTY, :PRICE, :QTY * :PRICE, :D);
      NET = NET + QTY * PRICE;
    END
    VAT = CAST(NET * 0.20 AS NUMERIC(15,2));

    INSERT INTO INVOICES (ID, INV_NO, INV_DATE, CLIENT_NAME, NET_TOTAL, VAT, TOTAL, CHANGED_AT)
    VALUES (:I, LPAD(:I, 10, '0'), :D, :CLIENT, :NET, :VAT, :NET + :VAT, :D);
    INSERT INTO CASH_RECEIPTS (ID, DOC_NO, DOC_DATE, INVOICE_ID, PAYER, AMOUNT, CHANGED_AT)
    VALUES (:I, 'П' || LPAD(:I, 7, '0'), :D, :I, :CLIENT, :NET + :VAT, :D);
  END

  I = 0;
  WHILE (I < N_PAY) DO
  BEGIN
    I = I + 1;
    SEED = MOD(SEED * 1103515245 + 12345, 2147483648);
    R = SEED / 65536;
    D = DATEADD(DAY, CAST((I - 1) AS BIGINT) * 3650 / N_PAY, DATE '2016-01-04');
    INSERT INTO CASH_PAYMENTS (ID, DOC_NO, DOC_DATE, PAYEE, PURPOSE, AMOUNT, CHANGED_AT)
    VALUES (:I + 100, 'Р' || LPAD(:I + 100, 7, '0'), :D,
      DECODE(MOD(:R, 6), 0, 'Имоти Тракия ЕООД', 1, 'Електроразпределение Юг ЕАД',
                        2, 'ВиК Пловдив ЕООД', 3, 'Нотариална камара',
                        4, 'Агенция по вписванията', 'Книжарница „Орфей“'),
      DECODE(MOD(:R, 6), 0, 'Наем', 1, 'Електроенергия', 2, 'Вода',
                        3, 'Членски внос', 4, 'Такса за вписване', 'Канцеларски материали'),
      /* Every 250th payment was entered without an amount. */
      IIF(MOD(:I, 250) = 0, NULL, (MOD(:SEED, 60000) + 100) * 0.01),
      :D);
  END
END^

SET TERM ; ^

COMMIT;
