-- The roles a line's programs log in through (as members: CREATE ROLE line4 LOGIN IN ROLE
-- qvx5120_shipper): stations ship with one that may only add rows and read them, never change or
-- remove one; people and reports ask with one that may only read. Roles belong to the whole
-- server, so a second database of the same server finds them there already.
DO $$
BEGIN
  IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'qvx5120_shipper') THEN
    BEGIN
      CREATE ROLE qvx5120_shipper NOLOGIN;
    EXCEPTION WHEN duplicate_object OR unique_violation THEN
      NULL;  -- made by another database's migration at the same moment
    END;
  END IF;
  IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'qvx5120_reader') THEN
    BEGIN
      CREATE ROLE qvx5120_reader NOLOGIN;
    EXCEPTION WHEN duplicate_object OR unique_violation THEN
      NULL;
    END;
  END IF;
  -- Shipping stages each batch in a temporary table.
  EXECUTE format('GRANT CONNECT, TEMPORARY ON DATABASE %I TO qvx5120_shipper', current_database());
  EXECUTE format('GRANT CONNECT ON DATABASE %I TO qvx5120_reader', current_database());
END
$$;

GRANT USAGE ON SCHEMA qvx5120 TO qvx5120_shipper, qvx5120_reader;
GRANT SELECT ON qvx5120.schema_version, qvx5120.records, qvx5120.shipped
  TO qvx5120_shipper, qvx5120_reader;
GRANT INSERT ON qvx5120.records, qvx5120.shipped TO qvx5120_shipper;
