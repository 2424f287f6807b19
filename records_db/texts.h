// The texts of the database side: why a line is not a record, what became of a line, and the
// database's faults, in the words the tool and the station show.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "records_db/database.h"

namespace qvx::records_db::text {

inline constexpr const char* kNotAnObject = "not a record: JSON, but not an object";
inline constexpr const char* kTooDeep = "not a record: arrays and objects nested too deep";
inline constexpr const char* kNumberOutOfRange = "not a record: a number beyond what can be read";
inline constexpr const char* kHalfLine =
    "a half line (no line break at its end, and not whole JSON)";
inline constexpr const char* kHoldsNul =
    "holds \\u0000, which PostgreSQL's jsonb cannot: kept as text";
// The outcome of a load that began and has no end line.
inline constexpr const char* kUnfinished = "unfinished";
inline constexpr const char* kUnreachable = "the database cannot be reached: ";
inline constexpr const char* kNoMemory = "out of memory";
inline constexpr const char* kPasswordInUrl =
    "the connection names a password, which every user of this machine could read: put it in "
    "the password file (~/.pgpass, or PGPASSFILE) or the service file (PGSERVICEFILE) instead";
inline constexpr const char* kUnknownShipped =
    "how far it was shipped is not known until it answers";

std::string NotJson(size_t byte);
std::string Unreadable(std::string_view path);
// "the database's encoding is LATIN1: the records need UTF8 ..."
std::string WrongEncoding(std::string_view encoding);  // "line-4.jsonl: cannot be read"  // "not a
                                                       // record: not JSON (at byte 12)"
std::string NotAConnection(std::string_view why);
// "line-4.jsonl:12: WHAT"
std::string AtLine(std::string_view path, int64_t line, std::string_view what);
// "line-4.jsonl:12: not a record: not JSON (at byte 1); skipped"
std::string Skipped(std::string_view path, int64_t line, std::string_view why);
std::string KeptAsText(
    std::string_view why);  // "the database's jsonb refused it (WHY): kept as text"
// "records not yet shipped: 12"
std::string NotYetShipped(size_t count);
// What a database error means to the shipper, and whether how far the file was shipped is known.
std::string ShipperProblem(const DatabaseError& error, bool mark_known);
// "the database refused: WHY"
std::string Refused(std::string_view why);

}  // namespace qvx::records_db::text
