// Applying the schema's migrations.
#include "records_db/migrations.h"

#include "records_db/texts.h"

namespace qvx::records_db {
namespace {

// pg_advisory_xact_lock's key for migrating: any number the line's other programs do not use.
constexpr const char* kMigrationLock = "512045";

}  // namespace

int SchemaVersion() {
  return Migrations().back().version;
}

int VersionOf(Database& database) {
  Result table = database.Exec("SELECT to_regclass('qvx5120.schema_version') IS NOT NULL");
  if (table.text(0, 0) != "t")
    return 0;
  Result version = database.Exec("SELECT coalesce(max(version), 0) FROM qvx5120.schema_version");
  return std::stoi(version.text(0, 0));
}

int Migrate(Database& database) {
  // Another encoding would refuse a line's characters at every attempt, and shipping would stop
  // at that line for good.
  const std::string encoding = database
                                   .Exec(
                                       "SELECT pg_encoding_to_char(encoding) FROM pg_database"
                                       " WHERE datname = current_database()")
                                   .text(0, 0);
  if (encoding != "UTF8")
    throw DatabaseError(text::WrongEncoding(encoding), "", false);
  if (VersionOf(database) >= SchemaVersion())
    return 0;
  database.Exec("BEGIN");
  try {
    database.Exec("SELECT pg_advisory_xact_lock($1)", {kMigrationLock});
    // Another program may have migrated while this one waited for the lock.
    database.Exec(Migrations().front().sql);
    const int at = VersionOf(database);
    int applied = 0;
    for (const Migration& migration : Migrations()) {
      if (migration.version <= at)
        continue;
      database.Exec(migration.sql);
      database.Exec("INSERT INTO qvx5120.schema_version (version, name) VALUES ($1, $2)",
                    {std::to_string(migration.version), migration.name});
      ++applied;
    }
    database.Exec("COMMIT");
    return applied;
  } catch (const DatabaseError&) {
    // A lost connection takes its transaction with it; otherwise end it here.
    try {
      database.Exec("ROLLBACK");
    } catch (const DatabaseError&) {
    }
    throw;
  }
}

}  // namespace qvx::records_db
