-- One row per record line: the fields people ask about as typed columns (NULL where a line lacks
-- the field or holds it with another type), and the whole line as jsonb. A line that jsonb
-- cannot hold (text with \u0000, a number beyond its range) keeps its text in line_text instead,
-- and problem says why.
CREATE TABLE qvx5120.records (
  -- What makes a line land once however often it is shipped: "<run>/<seq>" for a line that
  -- carries its writer run and sequence number, "sha256:<hex of the line's bytes>" for one
  -- written before lines had a key (or one that is not the loader's).
  key text COLLATE "C" PRIMARY KEY,
  time timestamptz,
  host text,
  run uuid,
  seq bigint,
  load text,
  serial text,
  description text,
  port text,
  kind text,
  operation text,
  slot integer,
  file_path text,
  file_sha256 text COLLATE "C",
  file_size bigint,
  outcome text,
  attempt integer,
  steps integer,
  seconds double precision,
  reason text,
  label text,
  operator text,
  work_order text,
  set_path text,
  set_sha256 text COLLATE "C",
  version text,
  exit_status integer,
  -- The load the line belongs to ("<host> <load>"), or the line's own key when it names none:
  -- the unit of find's answers.
  load_key text COLLATE "C" NOT NULL,
  line jsonb,
  line_text text,
  problem text,
  -- Where it was shipped from: "<host>:<absolute path>" and its line number there.
  source text,
  line_number bigint,
  shipped_at timestamptz NOT NULL DEFAULT now(),
  CHECK ((line IS NULL) <> (line_text IS NULL))
);

CREATE INDEX records_serial ON qvx5120.records (serial);
CREATE INDEX records_work_order ON qvx5120.records (work_order) WHERE work_order IS NOT NULL;
CREATE INDEX records_label ON qvx5120.records (label) WHERE label IS NOT NULL;
CREATE INDEX records_set_sha256 ON qvx5120.records (set_sha256) WHERE set_sha256 IS NOT NULL;
CREATE INDEX records_file_sha256 ON qvx5120.records (file_sha256) WHERE file_sha256 IS NOT NULL;
CREATE INDEX records_time ON qvx5120.records (time);
CREATE INDEX records_load_key ON qvx5120.records (load_key);

-- How far each record file was shipped: a row per batch, written in the batch's transaction, so
-- a shipper that starts again goes on from the last row of its file. A file is known by its
-- source ("<host>:<absolute path>") and the SHA-256 of its first line, so a file that was
-- replaced by another of the same name is shipped from its start. Rows are only ever added, which
-- is all the shipping role may do.
CREATE TABLE qvx5120.shipped (
  source text NOT NULL,
  head_sha256 text COLLATE "C" NOT NULL,
  from_offset bigint NOT NULL,
  through_offset bigint NOT NULL,
  through_line bigint NOT NULL,
  lines integer NOT NULL,
  shipped_at timestamptz NOT NULL DEFAULT now()
);

CREATE INDEX shipped_file ON qvx5120.shipped (source, head_sha256, through_offset);
