// Every text of the station windows (Qt and Win32), in one place; functions compose the texts
// that carry a value.
#pragma once

#include <string>
#include <string_view>

namespace qvx::station_window::text {

inline constexpr const char* kProgram = "qvx5120-station: ";
inline constexpr const char* kApplicationName = "QVX5120 Station";

// "QVX5120 Station - 2 passed, 0 failed"
std::string Title(int passed, int failed);

// The controls.
inline constexpr const char* kStart = "&Start";
inline constexpr const char* kStop = "S&top";
inline constexpr const char* kOpen = "&Open...";
inline constexpr const char* kStartName = "Start";
inline constexpr const char* kStopName = "Stop";
inline constexpr const char* kOpenName = "Open content set";
inline constexpr const char* kScanLabel = "S&can:";
inline constexpr const char* kScanName = "Scanned label";
inline constexpr const char* kOpenCaption = "Open content set";
inline constexpr const char* kSetFilter = "Content sets (*.toml)";
inline constexpr const char* kBoxCaption = "QVX5120 Station";

// The tiles.
inline constexpr const char* kPass = "PASS";
inline constexpr const char* kFail = "FAIL";
inline constexpr const char* kEmptyTile = "Empty";
std::string SocketHeading(std::string_view port);  // "Socket 1-1.3"
std::string LabelLine(std::string_view label);     // "Label A-1001"
// "2 of 5: banner 3 from logo.bmp", with " (attempt 2)" after a retry.
std::string OperationLine(size_t index, size_t total, std::string_view name, int attempt);
// "Socket 1-1.3, QVX00002, pass"; an empty socket: "Socket 1-1.3, empty".
std::string TileName(std::string_view port, std::string_view serial, std::string_view state);

// The bar.
// "Passed 2   Failed 0   41.5 units per hour"
std::string TotalsText(int passed, int failed, double units_per_hour);
std::string SetText(std::string_view file_name,
                    std::string_view sha256);       // "Set station.toml 1a2b..."
std::string OperatorText(std::string_view name);    // "Operator ana"
std::string WorkOrderText(std::string_view order);  // "Work order WO-1182"
inline constexpr const char* kNoSet = "No content set: open one to begin";
inline constexpr const char* kNobody = "Operator -";
inline constexpr const char* kNoWorkOrder = "Work order -";

// What the station is doing, under the bar.
inline constexpr const char* kReady = "Ready: press Start, then plug units in";
inline constexpr const char* kRunning = "Running: plug a unit into any socket";
inline constexpr const char* kStopping = "Stopping: no new unit starts, the running loads finish";
inline constexpr const char* kClosing =
    "Closing once the running loads finish (close again to cut them off)";
inline constexpr const char* kStopped = "Stopped";
std::string NextLabelText(std::string_view label);  // "Next unit plugged in: A-1001"

// Boxes.
inline constexpr const char* kNothingSent = "nothing was sent to any generator";
std::string SetRefused(std::string_view file, std::string_view why);
// How the records stand, as the status line says it: "Records held back: ...".
std::string RecordsNote(std::string_view note);
std::string RecordsFailed(std::string_view why);

// The command line.
std::string Usage();
inline constexpr const char* kLockNeedsSet = "--lock goes with --set";
std::string UnknownOption(std::string_view option);

}  // namespace qvx::station_window::text
