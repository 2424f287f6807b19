// The database's schema, brought up to this version by the programs themselves: the numbered
// SQL files of records_db/migrations/ (built into the library), applied in order, each once,
// recorded in qvx5120.schema_version. Applying them again changes nothing.
#pragma once

#include <string>
#include <vector>

#include "records_db/database.h"

namespace qvx::records_db {

struct Migration {
  int version;       // its number, from the file's name
  const char* name;  // the rest of the file's name
  const char* sql;
};

// Every migration in order, the first (version 0) creating the version table itself.
const std::vector<Migration>& Migrations();

// The version this program writes and reads.
int SchemaVersion();

// The version the database is at: 0 when it has no schema yet.
int VersionOf(Database& database);

// Applies the migrations the database lacks, all in one transaction under an advisory lock,
// and returns how many it applied. A database already at this version (or a later one, whose
// migrations only add) is left alone, so a role that may not change the schema can still ship.
int Migrate(Database& database);

}  // namespace qvx::records_db
