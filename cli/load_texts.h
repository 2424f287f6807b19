// Every text qvx5120-load writes about its command line, content sets, runs and records, in one
// place; the texts of the downloads themselves are the window's (device/texts.h). Functions compose
// the texts that carry a value.
#pragma once

#include <string>
#include <string_view>

#include "content/texts.h"
#include "records/texts.h"
#include "station/texts.h"

namespace qvx::cli::text {

// The words and problems of steps and sets are the content layer's, those of records the records
// layer's.
using namespace content::text;
using namespace records::text;

// The --help text.
std::string LoadUsage();

inline constexpr const char* kProgram = "qvx5120-load: ";
inline constexpr const char* kSeeHelp = " (see --help)";

// The command line.
inline constexpr const char* kNoOperation = "no operation given (see --help)";
inline constexpr const char* kMissing = ": missing ";  // operation + kMissing + what
inline constexpr const char* kOperationWord = "operation";
inline constexpr const char* kSlotNumberWord = "slot number";
inline constexpr const char* kSerialWord = "serial number";
inline constexpr const char* kSetFileWord = "content set file";
inline constexpr const char* kEraseWhat = "slot kind (picture, banner, countdown, pattern)";
inline constexpr const char* kHelpAlone = "--help takes no operations";
inline constexpr const char* kVersionAlone = "--version takes no operations";
inline constexpr const char* kListAlone = "--list takes no units, set or operations";
inline constexpr const char* kUnitsExclusive = "--unit and --all-units cannot be combined";
inline constexpr const char* kSetExclusive = "--set and operations cannot be combined";
inline constexpr const char* kPinTwice = "--pin is given twice";
inline constexpr const char* kPinAlone = "--pin takes a content set and nothing else";
// "--stop-after goes with --station"
std::string StationOnly(std::string_view option);
inline constexpr const char* kStationExclusive =
    "--station cannot be combined with --list, --unit or --all-units";

std::string NotASlot(std::string_view kind, std::string_view text, int first, int last);
std::string NotATone(int channel, std::string_view label);
std::string NotErasable(std::string_view what);
std::string NotAnOperation(std::string_view operation);
std::string NotAnOption(std::string_view option);
std::string ChannelWhat(int channel, const char* what);  // "channel 2 frequency"

// Inputs refused before anything is sent.

// The run.
inline constexpr const char* kNotConnected =
    "the generator is not connected; nothing was loaded; to see why, run qvx5120-doctor";
inline constexpr const char* kNoneAttached = "no generator is attached";
inline constexpr const char* kNoneAttachedToLoad = "no generator is attached; nothing was loaded";
// "the record could not be written to line-4.jsonl (cannot open it: ...); nothing was loaded"
std::string NothingLoadedUnrecorded(std::string_view path, std::string_view why);
std::string StepCount(size_t index, size_t total);  // "[2/5] "
std::string StoppedAt(size_t index, size_t total);  // "stopped at operation 2 of 5"
std::string AllCompleted(size_t total);             // "All 5 operations completed."

// The results of a unit, in the summary and the records.
// The words a station's records use too, from one place.
inline constexpr const char* kNotConnectedResult = "not connected";
inline constexpr const char* kNotRecordedResult = "not recorded";
inline constexpr const char* kSummaryHeading = "Unit      Result         Time   Failed step\n";

// The station.
inline constexpr const char* kBoardHeading =
    "Port       Serial     State    Operation                                Progress"
    "                              Time\n";
inline constexpr const char* kStationTotals =
    "Passed %d, failed %d, pulled %d; %.1f units per hour";
inline constexpr const char* kPluggedIn = "plugged in";
inline constexpr const char* kSocketFree = "pulled; the socket is free";
inline constexpr const char* kStopping =
    "stopping: no new unit starts, the running loads finish (Ctrl-C again to cut them off)";
inline constexpr const char* kAbandoning = "cutting off the running loads";
std::string SocketLine(std::string_view port, std::string_view serial);  // "1-1.3 QVX00002: "
std::string LoadingNote(size_t operations, std::string_view label);      // "loading 3 operations"
std::string AttemptNote(int attempt);                                    // " (attempt 2)"
// "operation 2 of 3 (banner 1 from id.bmp), attempt 1: failed: the generator stopped answering"
std::string AttemptLine(size_t index, size_t total, std::string_view name, int attempt,
                        std::string_view outcome, std::string_view reason);
std::string LoadEndLine(std::string_view end, std::string_view time,
                        std::string_view reason);  // "PASSED in 0:12", "FAILED in 0:03: ..."

// Records.

}  // namespace qvx::cli::text
