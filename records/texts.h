// The words of the records and the texts about writing them.
#pragma once

#include <string>
#include <string_view>

#include "station/texts.h"

namespace qvx::records::text {

// How a step or a load ended, as the records say it.
inline constexpr const char* kCompleted = station::text::kCompleted;
inline constexpr const char* kRefused = station::text::kRefused;
inline constexpr const char* kFailed = station::text::kFailed;
inline constexpr const char* kSkipped = "skipped";
inline constexpr const char* kStarted = "started";
inline constexpr const char* kRecordUnwritable = "the record could not be written to ";
inline constexpr const char* kNoRecordFor = "(nothing recorded)";

// A line that the record file could not take yet, as it is kept on standard error meanwhile:
// "record held for line-4.jsonl: {...}" and a line break.
inline std::string RecordHeld(std::string_view path, std::string_view line) {
  return "record held for " + std::string(path) + ": " + std::string(line) + "\n";
}

}  // namespace qvx::records::text
