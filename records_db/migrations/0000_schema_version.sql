-- The schema's own version, read before anything else: which of the numbered migrations beside
-- this file have been applied. qvx5120-records applies the missing ones itself, each in one
-- transaction under an advisory lock, so two programs starting at once apply each migration once.
CREATE SCHEMA IF NOT EXISTS qvx5120;

CREATE TABLE IF NOT EXISTS qvx5120.schema_version (
  version integer PRIMARY KEY,
  name text NOT NULL,
  applied_at timestamptz NOT NULL DEFAULT now()
);
