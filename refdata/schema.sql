/* The reference database of SPR Rate. Run by scripts/make-refdb on a new database
   created with DEFAULT CHARACTER SET WIN1251; the program never changes the schema.
   Primary keys are left unnamed so that their indexes are the RDB$PRIMARY ones the
   list windows look for. */

/* One row per currency, with its fare and tax rounding formulas. */
CREATE TABLE FARE_CURRENCY (
  CURRENCY_CODE      VARCHAR(3) NOT NULL,
  CURRENCY_NAME      VARCHAR(49),
  CURRENCY_FARE_RULE VARCHAR(49),
  CURRENCY_TAX_RULE  VARCHAR(49),
  PRIMARY KEY (CURRENCY_CODE)
);

/* Airline exchange rates: an amount in CURRENCY_FROM times RATE_AMOUNT is the amount
   in CURRENCY_TO. The validity days are dates, both ends included, so a rate stored
   with 'NOW' holds for the rest of that day. */
CREATE TABLE FARE_CURRENCY_RATE (
  RATE_IDENTIFICATOR INTEGER NOT NULL,
  CURRENCY_FROM      VARCHAR(3),
  CURRENCY_TO        VARCHAR(3),
  CARRIER_CODE       VARCHAR(2),
  RATE_AMOUNT        DOUBLE PRECISION,
  RATE_VALID_FROM    DATE,
  RATE_VALID_TO      DATE,
  RATE_INSERT_DATE   TIMESTAMP DEFAULT CURRENT_TIMESTAMP,
  PRIMARY KEY (RATE_IDENTIFICATOR)
);

/* Serves the rate lookup: equality on the pair and carrier, then the range on the
   last day of validity. */
CREATE INDEX FARE_CURRENCY_RATE_LOOKUP
  ON FARE_CURRENCY_RATE (CURRENCY_FROM, CURRENCY_TO, CARRIER_CODE, RATE_VALID_TO);

/* Serve the rate list, latest validity first: the list reads each window of rows
   through them (its first order column, in either direction), so that the server sorts
   about a window's rows instead of the whole table. */
CREATE DESCENDING INDEX FARE_CURRENCY_RATE_TO_DESC ON FARE_CURRENCY_RATE (RATE_VALID_TO);
CREATE INDEX FARE_CURRENCY_RATE_TO_ASC ON FARE_CURRENCY_RATE (RATE_VALID_TO);

CREATE GENERATOR GEN_RATE_IDENTIFICATOR;

SET TERM ^ ;
CREATE TRIGGER FARE_CURRENCY_RATE_BI FOR FARE_CURRENCY_RATE
ACTIVE BEFORE INSERT POSITION 0
AS
BEGIN
  IF (NEW.RATE_IDENTIFICATOR IS NULL) THEN
    NEW.RATE_IDENTIFICATOR = GEN_ID(GEN_RATE_IDENTIFICATOR, 1);
END^
SET TERM ; ^

/* The validating carriers ("providers"). */
CREATE TABLE VALIDATING_CARRIER (
  CARRIER_CODE           VARCHAR(2) NOT NULL,
  CARRIER_NAME           VARCHAR(49),
  CARRIER_DIGIT_CODE     VARCHAR(10),
  CARRIER_EQUIV_CURRENCY VARCHAR(3),
  PRIMARY KEY (CARRIER_CODE)
);

/* Taxes and the currency each is charged in, per carrier (empty: every carrier) and
   country. */
CREATE TABLE APPLIED_TAXES (
  TAXID         INTEGER NOT NULL,
  TAX_CODE      VARCHAR(2) NOT NULL,
  TAX_NAME      VARCHAR(80),
  CURRENCY_CODE VARCHAR(3),
  CARRIER_CODE  VARCHAR(3),
  COUNTRY_CODE  VARCHAR(2),
  PRIMARY KEY (TAXID)
);

CREATE UNIQUE INDEX XPKAPPLAYED_TAXES ON APPLIED_TAXES (TAXID);

ALTER TABLE APPLIED_TAXES
  ADD FOREIGN KEY (CURRENCY_CODE) REFERENCES FARE_CURRENCY (CURRENCY_CODE);

CREATE GENERATOR GEN_TAXEID;

SET TERM ^ ;
CREATE TRIGGER APPLIED_TAXES_BI FOR APPLIED_TAXES
ACTIVE BEFORE INSERT POSITION 0
AS
BEGIN
  IF (NEW.TAXID IS NULL) THEN
    NEW.TAXID = GEN_ID(GEN_TAXEID, 1);
END^
SET TERM ; ^

COMMIT;
