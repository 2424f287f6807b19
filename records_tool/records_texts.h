// Every text qvx5120-records writes, in one place; functions compose the texts that carry a
// value. The words of the records themselves are the records layer's, the database's problems
// records_db's.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qvx::records_tool::text {

inline constexpr const char* kProgram = "qvx5120-records: ";
inline constexpr const char* kNoCommand = "no command given (see --help)";
inline constexpr const char* kDbOrFiles = "give either --db URL or record files, not both";
inline constexpr const char* kNoSource = "give --db URL or record files to read";
inline constexpr const char* kShipNeedsTo = "ship needs --to URL";
inline constexpr const char* kShipNeedsFiles = "ship needs the record files to send";
inline constexpr const char* kSummaryNeedsWorkOrder = "summary needs --work-order W";
inline constexpr const char* kExportNeedsCsv = "export needs --csv (the one format it writes)";
inline constexpr const char* kMigrateNeedsDb = "migrate needs --db URL and nothing else";
inline constexpr const char* kNoTime = "(no time)";
inline constexpr const char* kNoSerial = "(no serial)";
inline constexpr const char* kReceivedNothing = "received nothing";
inline constexpr const char* kReceived = "received ";
inline constexpr const char* kNotReceived = "not received ";
inline constexpr const char* kErased = "erased";
inline constexpr const char* kOperator = "operator ";
inline constexpr const char* kWorkOrder = "work order ";
inline constexpr const char* kLabel = "label ";
inline constexpr const char* kSet = "set ";
inline constexpr const char* kStation = "station";
inline constexpr const char* kHour = "hour (UTC)";
inline constexpr const char* kTotal = "total";
inline constexpr const char* kConnectedAgain = "connected again; going on";
inline constexpr const char* kMigrated = "the schema is at version ";

std::string NotACommand(std::string_view name);
std::string NotAnOption(std::string_view command, std::string_view option);
std::string NeedsValue(std::string_view option,
                       std::string_view what);  // "--serial needs a serial"
std::string Twice(std::string_view option);
std::string NotATime(std::string_view option, std::string_view typed);
std::string NotAHash(std::string_view option, std::string_view typed);
std::string NotACount(std::string_view option, std::string_view typed, long least, long most);
std::string TakesNoFiles(std::string_view command);
// "the database cannot be reached: ...; trying again for up to 60 s"
std::string TryingAgain(std::string_view why, long seconds);
// "gave up after 60 s: line-4.jsonl is shipped through line 5000; ship it again to go on"
std::string GaveUp(long seconds, std::string_view path, int64_t through_line);
// "line-4.jsonl: 1000 record lines shipped, 998 new (2 skipped; lines 1 to 40 shipped before)"
std::string Shipped(std::string_view path, size_t records, size_t added, size_t skipped,
                    int64_t before);
std::string MigratedTo(int version, int applied);
// "Work order WO-1182"
std::string WorkOrderHeading(std::string_view work_order);

// The --help text.
std::string RecordsUsage();

}  // namespace qvx::records_tool::text
