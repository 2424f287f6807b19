// The file that keeps the generator's flash between runs: a raw image of the whole chip.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace qvx::vg {

// QVX_VG_FLASH when set ("none" keeps the flash in memory: no path); otherwise
// $XDG_STATE_HOME/qvx5120/virtual-generator-flash.bin, with XDG_STATE_HOME defaulting to
// $HOME/.local/state. No path when neither variable helps.
std::optional<std::string> FlashPathFromEnvironment();

// Fills `image` from the file when it exists and has exactly the image's size.
bool ReadFlashFile(const std::string& path, std::span<uint8_t> image);
// Replaces the file with the whole image, creating its directories as needed.
bool WriteFlashFile(const std::string& path, std::span<const uint8_t> image);
// Rewrites `bytes` at `offset` of an existing, full-sized file.
bool WriteFlashRange(const std::string& path, size_t offset, std::span<const uint8_t> bytes);

}  // namespace qvx::vg
