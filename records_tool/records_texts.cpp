// Texts of qvx5120-records that carry a value, and its usage.
#include "records_tool/records_texts.h"

namespace qvx::records_tool::text {

std::string NotACommand(std::string_view name) {
  return "\"" + std::string(name) + "\" is not a command (see --help)";
}

std::string NotAnOption(std::string_view command, std::string_view option) {
  return std::string(command) + " takes no option \"" + std::string(option) + "\" (see --help)";
}

std::string NeedsValue(std::string_view option, std::string_view what) {
  return std::string(option) + " needs " + std::string(what);
}

std::string Twice(std::string_view option) {
  return std::string(option) + " is given twice";
}

std::string NotATime(std::string_view option, std::string_view typed) {
  return std::string(option) + ": \"" + std::string(typed) +
         "\" is not a time in UTC (2026-12-09, 2026-12-09T14:25, 2026-12-09T14:25:33.123Z)";
}

std::string NotAHash(std::string_view option, std::string_view typed) {
  return std::string(option) + ": \"" + std::string(typed) +
         "\" is not a SHA-256 or the start of one (hex digits, up to 64)";
}

std::string NotACount(std::string_view option, std::string_view typed, long least, long most) {
  return std::string(option) + ": \"" + std::string(typed) + "\" is not a whole number from " +
         std::to_string(least) + " to " + std::to_string(most);
}

std::string TakesNoFiles(std::string_view command) {
  return std::string(command) + " takes no files";
}

std::string TryingAgain(std::string_view why, long seconds) {
  return std::string(why) + "; trying again for up to " + std::to_string(seconds) + " s";
}

std::string GaveUp(long seconds, std::string_view path, int64_t through_line) {
  return "gave up after " + std::to_string(seconds) + " s: " + std::string(path) +
         " is shipped through line " + std::to_string(through_line) + "; ship it again to go on";
}

std::string Shipped(std::string_view path, size_t records, size_t added, size_t skipped,
                    int64_t before) {
  std::string text = std::string(path) + ": " + std::to_string(records) +
                     (records == 1 ? " record line" : " record lines") + " shipped, " +
                     std::to_string(added) + " new";
  std::string notes;
  if (skipped > 0)
    notes = std::to_string(skipped) + (skipped == 1 ? " line" : " lines") + " skipped";
  if (before > 0) {
    notes += notes.empty() ? "" : "; ";
    notes += "lines 1 to " + std::to_string(before) + " shipped before";
  }
  return notes.empty() ? text : text + " (" + notes + ")";
}

std::string MigratedTo(int version, int applied) {
  return kMigrated + std::to_string(version) + " (" + std::to_string(applied) +
         (applied == 1 ? " migration" : " migrations") + " applied now)";
}

std::string WorkOrderHeading(std::string_view work_order) {
  return "Work order " + std::string(work_order);
}

std::string RecordsUsage() {
  return "Usage: qvx5120-records ship --to URL [--batch-lines N] [--wait SECONDS] FILE...\n"
         "  or:  qvx5120-records find [FILTER]... [--json] (--db URL | FILE...)\n"
         "  or:  qvx5120-records summary --work-order W [--json] (--db URL | FILE...)\n"
         "  or:  qvx5120-records export --csv [FILTER]... (--db URL | FILE...)\n"
         "  or:  qvx5120-records migrate --db URL\n"
         "\n"
         "The production records of a whole line, in record files (the JSON lines that\n"
         "qvx5120-load and qvx5120-station write) or in a PostgreSQL database they were\n"
         "shipped to. Without --db every command reads the files named, so one station needs\n"
         "no server; over files and over the database the answers are the same.\n"
         "\n"
         "Commands:\n"
         "  ship          send the record lines of the files to the database, in batches of N\n"
         "                lines (default 10000), each in one transaction; a line already there\n"
         "                is not added again, and a file shipped before goes on from where it\n"
         "                was shipped to. A line that is not a record is named (FILE:LINE) and\n"
         "                skipped. A connection cut mid-way is made again, for up to --wait\n"
         "                seconds (default 60), and shipping goes on where it stopped\n"
         "  find          the loads with a line that matches every filter, one a line, in the\n"
         "                order they began: time, serial, host and socket, outcome, operator,\n"
         "                work order, label, set and what the unit received; --json: one JSON\n"
         "                object a line, with the load's records\n"
         "  summary       the work order's loads that passed, failed, were pulled or cut off,\n"
         "                per station (host) and per hour of their end (UTC)\n"
         "  export --csv  the lines of the loads find gives, one row each, with a header row\n"
         "                (RFC 4180); a text cell that a spreadsheet would take as a formula\n"
         "                starts with ' instead\n"
         "  migrate       bring the database's schema to this version (ship does it too)\n"
         "\n"
         "Filters:\n"
         "  --serial S  --work-order W  --label L   exactly these\n"
         "  --set-sha256 H  --file-sha256 H         the hashes that begin with H\n"
         "  --since T  --until T                    at or after T, before T (UTC:\n"
         "                                          2026-12-09, 2026-12-09T14:25:33.123Z)\n"
         "\n"
         "URL: a postgresql:// URL or libpq's key words (\"host=db1 dbname=line sslmode=\n"
         "verify-full\"), PGSERVICE and the other PG variables included. A password is never\n"
         "taken from the command line: libpq reads it from the password file (~/.pgpass, or\n"
         "PGPASSFILE) or the service file.\n"
         "\n"
         "Exit status:\n"
         "  0  done\n"
         "  1  an unexpected failure\n"
         "  2  the command line is wrong\n"
         "  3  a file cannot be read (the others were shipped or read)\n"
         "  4  the database cannot be reached, or it refused; ship: what was shipped stays\n"
         "\n"
         "Examples:\n"
         "  qvx5120-records ship --to postgresql://db1/line line-4.jsonl\n"
         "  qvx5120-records find --serial QVX01234 --db service=line\n"
         "  qvx5120-records summary --work-order WO-1182 line-4.jsonl line-5.jsonl\n"
         "  qvx5120-records export --csv --work-order WO-1182 --db service=line > wo-1182.csv\n";
}

}  // namespace qvx::records_tool::text
