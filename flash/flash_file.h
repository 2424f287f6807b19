// The file that keeps a generator's flash: a raw image of the whole chip, as the virtual generator
// keeps each of its units' flash between runs and as the flash viewer reads it. Where the file
// lives is the virtual generator's convention, shared by both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace qvx::flash {

// The variable that names unit 1's flash file ("none": in memory only).
inline constexpr const char* kFlashFileVariable = "QVX_VG_FLASH";

// The most units the virtual generator presents (QVX_VG_UNITS).
inline constexpr int kMaxUnits = 64;

// The serial number of unit `index` (0-based) of the virtual generator: "QVX00001" for index 0.
std::string UnitSerial(int index);

// The index of the unit with this serial number among the first `units`, or nothing.
std::optional<int> UnitIndex(const std::string& serial, int units);

// The file of another unit beside unit 1's `path`: "dir/virtual-generator-flash-QVX00002.bin" for
// the default file name, "<path>.QVX00002" for any other. Unit 1 (index 0) keeps `path`.
std::string UnitSiblingPath(const std::string& path, int index);
// The same by the unit's serial number, whichever unit it is: the unit with serial QVX00001 keeps
// `path`. A character that cannot be part of a file name on every platform is written as %XX.
std::string SerialSiblingPath(const std::string& path, const std::string& serial);

// Unit `index`'s flash file. Unit 1's is QVX_VG_FLASH when set ("none" keeps the flash in memory:
// no path); otherwise $XDG_STATE_HOME/qvx5120/virtual-generator-flash.bin, with XDG_STATE_HOME
// defaulting to $HOME/.local/state, and on Windows
// %LOCALAPPDATA%\qvx5120\virtual-generator-flash.bin. No path when the environment does not help.
// Other units use the sibling of unit 1's file.
std::optional<std::string> FlashPathFromEnvironment(int index = 0);
// The flash file of the unit with this serial number, as FlashPathFromEnvironment names it.
std::optional<std::string> SerialFlashPathFromEnvironment(const std::string& serial);

// Fills `image` from the file when it exists and has exactly the image's size.
bool ReadFlashFile(const std::string& path, std::span<uint8_t> image);
// Replaces the file with the whole image, creating its directories as needed.
bool WriteFlashFile(const std::string& path, std::span<const uint8_t> image);
// Rewrites `bytes` at `offset` of an existing, full-sized file.
bool WriteFlashRange(const std::string& path, size_t offset, std::span<const uint8_t> bytes);

}  // namespace qvx::flash
