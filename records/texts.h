// The words of the records and the texts about writing them.
#pragma once

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

}  // namespace qvx::records::text
