// The texts of the device link: binding the driver library, the connection as the title and a box
// show it, and the device faults that end a download. The code elsewhere refers to these names.
// Texts the generator's users know from the window are kept exactly as they have always been,
// spelling and spacing included.
#pragma once

namespace qvx {

// Binding the driver library.
inline constexpr const char* kCannotLoadDriverText = "Error: Can't Load ft8u245.dll";
inline constexpr const char* kCannotFindEntryText = "Error: Can't Find ";  // + the entry point
inline constexpr const char* kEntryNotValidText = " is not valid!";        // the entry point +

// The connection, as the title and a box show it.
inline constexpr const char* kNotRespondingText = "USB DEVICE not responding";
inline constexpr const char* kPortOpenTitle = "USB port OPEN";
inline constexpr const char* kPortNotOpenTitle = "USB port NOT OPEN";

// Device faults: what failed, as a failed download's box names it.
inline constexpr const char* kWriteRefusedText =
    "the generator did not accept the data sent to it (is it still connected?)";
inline constexpr const char* kEraseUnfinishedText =
    "the generator did not report the end of the flash erase";
inline constexpr const char* kStoppedAnsweringText =
    "the generator stopped answering (no status for 30 seconds)";

}  // namespace qvx
