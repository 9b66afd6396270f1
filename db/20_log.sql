/* The changeover log that the log monitor shows. */

CREATE SEQUENCE GEN_EURO_LOG_ID;

CREATE TABLE EURO_LOG (
  LOG_ID  INTEGER NOT NULL PRIMARY KEY,
  LOG_MSG VARCHAR(4000),
  LOG_TS  TIMESTAMP
);

SET TERM ^ ;

CREATE TRIGGER EURO_LOG_BI FOR EURO_LOG
ACTIVE BEFORE INSERT POSITION 0
AS
BEGIN
  IF (NEW.LOG_ID IS NULL) THEN
    NEW.LOG_ID = NEXT VALUE FOR GEN_EURO_LOG_ID;
  /* 'NOW', not CURRENT_TIMESTAMP: the latter stays fixed for the whole
     procedure call, and the monitor should show when each line happened. */
  IF (NEW.LOG_TS IS NULL) THEN
    NEW.LOG_TS = CAST('NOW' AS TIMESTAMP);
END^

/* Writes one log line and commits it at once, so that a read-committed
   reader on another connection sees it while the caller still runs, and
   the line survives when the caller fails and is rolled back. */
CREATE PROCEDURE EURO_LOG_WRITE (MSG VARCHAR(4000))
AS
BEGIN
  IN AUTONOMOUS TRANSACTION DO
    INSERT INTO EURO_LOG (LOG_MSG) VALUES (:MSG);
END^

SET TERM ; ^

COMMIT;
