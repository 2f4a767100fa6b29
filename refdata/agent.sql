/* The role of the agents on a shared (server) database, run by scripts/make-refdb after
   schema.sql. It holds exactly what the program sends: the lookups and the list windows
   read the four tables, the list windows insert, edit and delete their rows, the host
   fallback inserts a rate, and the insert triggers draw the keys from the generators.
   No DDL, no other table: the administrator (SYSDBA) owns the schema. */
CREATE ROLE SPRRATE_AGENT;

GRANT SELECT, INSERT, UPDATE, DELETE ON FARE_CURRENCY TO ROLE SPRRATE_AGENT;
GRANT SELECT, INSERT, UPDATE, DELETE ON FARE_CURRENCY_RATE TO ROLE SPRRATE_AGENT;
GRANT SELECT, INSERT, UPDATE, DELETE ON VALIDATING_CARRIER TO ROLE SPRRATE_AGENT;
GRANT SELECT, INSERT, UPDATE, DELETE ON APPLIED_TAXES TO ROLE SPRRATE_AGENT;

GRANT USAGE ON GENERATOR GEN_RATE_IDENTIFICATOR TO ROLE SPRRATE_AGENT;
GRANT USAGE ON GENERATOR GEN_TAXEID TO ROLE SPRRATE_AGENT;

COMMIT;
