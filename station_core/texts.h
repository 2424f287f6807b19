// The station core's texts: its command-line options' problems (the same words in qvx5120-load
// and the station windows) and the state of a station's records in words. Functions compose the
// texts that carry a value.
#pragma once

#include <string>
#include <string_view>

#include "records/record_writer.h"

namespace qvx::station_core::text {

// The options.
inline constexpr const char* kFileWord = "file";
inline constexpr const char* kSetFileWord = "content set file";
inline constexpr const char* kRecordFileWord = "record file";
inline constexpr const char* kTextWord = "text";
inline constexpr const char* kCountWord = "number";
inline constexpr const char* kUrlWord = "database URL";
std::string Missing(std::string_view option, std::string_view what);  // "--set: missing file"
std::string Twice(std::string_view option);                           // "--set is given twice"
// "--retries: \"9\" is not a whole number from 0 to 5"
std::string NotAWholeNumber(std::string_view option, std::string_view typed, int least, int most);
std::string Empty(std::string_view option);  // "--operator: the value is empty"

// The records, as every front end says how they stand.
// "records held back: 3 lines wait for line-4.jsonl (cannot write it: No space left on device);
// no load starts until they are written"
std::string RecordsHeldBack(const records::RecordHealth& health, std::string_view path);
// "the file system of line-4.jsonl is nearly full: room for fewer than 300 more record lines"
std::string RecordsLowOnRoom(std::string_view path);
// The line of the two above that applies; empty when the records are fine.
std::string RecordsState(const records::RecordHealth& health, std::string_view path);
inline constexpr const char* kRecordsResumed = "records written again; loads start again";

// Shipping to the line's database.
inline constexpr const char* kShipNeedsRecord =
    "--ship needs a record file (--record, or the set's record): the file is what is shipped";
inline constexpr const char* kShippingUnavailable =
    "--ship is not available in this build (the Windows programs do not ship records yet)";
std::string NotYetShipped(size_t lines);  // "records not yet shipped: 12"

// Serving the station to the line.
inline constexpr const char* kServingUnavailable = "--http is not available in this build";
// A control request's record line: its outcome, and where it came from ("from 10.0.0.7 over HTTP").
inline constexpr const char* kControlOutcome = "control";
std::string ControlFrom(std::string_view from);

}  // namespace qvx::station_core::text
