// The texts of steps' inputs, content sets and the copies of their files, shared by qvx5120-load
// and the station windows. Functions compose the texts that carry a value.
#pragma once

#include <string>
#include <string_view>

namespace qvx::content::text {

// Inputs refused before anything is sent.
inline constexpr const char* kCannotOpen = ": cannot be opened for reading";  // the file +
inline constexpr const char* kIsAFolder = ": is a folder, not a file";        // the file +
inline constexpr const char* kNothingSent = "nothing was sent to the generator";
inline constexpr const char* kNoSnapshotFolder =
    "no private folder could be made for the copies of the set's files";

// The content set.
inline constexpr const char* kSetNamesNothing = "the set names no slot to load or erase";
// What is wrong with a key of the set, after the key and ": ".
inline constexpr const char* kSetUnknownKey =
    "unknown key (expected pictures, banners, patterns, audio, erase, record or retries)";
inline constexpr const char* kSetFileName = "must be a file name in quotes";
inline constexpr const char* kSetFitMode = "must be \"letterbox\", \"crop\" or \"stretch\"";
inline constexpr const char* kSetUnknownEntryKey = "unknown key (expected file, sha256 and fit)";
inline constexpr const char* kSetUnknownPatternKey = "unknown key (expected file and sha256)";
std::string SetRetries(int most);  // "must be a whole number from 0 to 5"
inline constexpr const char* kSetPinDigits = "must be a SHA-256: 64 hexadecimal digits in quotes";
// "id.bmp: its SHA-256 is 1a2b..., but the set pins 9f8e...; it was changed after it was pinned"
std::string PinMismatch(std::string_view file, std::string_view actual, std::string_view pinned);
inline constexpr const char* kSetNamesNoFile = "names no file";
inline constexpr const char* kSetFilesTable = "must be a table of slot = \"file\"";
inline constexpr const char* kSetEraseTable = "must be a table";
inline constexpr const char* kSetTrueOrFalse = "must be true or false";
inline constexpr const char* kSetUnknownEraseKey =
    "unknown key (expected pictures, banners, countdown or patterns)";
inline constexpr const char* kSetSlotList = "must be a list of slot numbers";
inline constexpr const char* kSetSlotNumber = "must be a slot number";
inline constexpr const char* kSetFourEntries = "must be a list of four entries, channels 1 to 4";
inline constexpr const char* kSetAudioTable = "must be a table with tones and levels";
inline constexpr const char* kSetUnknownAudioKey = "unknown key (expected tones and levels)";
inline constexpr const char* kSetNotATone = "not in the frequency list";
inline constexpr const char* kSetLevel = "must be a number (dBFS)";
std::string SetNoSuchSlot(int first, int last);   // "no such slot (1 to 8)"
std::string SetNamedTwice(std::string_view key);  // "the slot is also named by banners.2"
std::string SetSyntaxError(int line, int column, std::string_view description);

}  // namespace qvx::content::text
