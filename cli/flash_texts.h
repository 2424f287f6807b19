// Every text qvx5120-flash writes, in one place; functions compose the texts that carry a value.
#pragma once

#include <string>
#include <string_view>

namespace qvx::cli::flash_text {

inline constexpr const char* kProgram = "qvx5120-flash: ";
inline constexpr const char* kNoCommand = "no command given (see --help)";
inline constexpr const char* kNoImage =
    "no flash image: give --image FILE (QVX_VG_FLASH=none keeps the flash in memory)";

// The table `info` prints: a line per slot under the heading, what it holds and its checks.
inline constexpr const char* kReportHeading = "Slot        Holds    Checks\n";
inline constexpr const char* kHoldsNothing = "erased";
inline constexpr const char* kHoldsContent = "content";
inline constexpr const char* kPassed = "ok: ";
inline constexpr const char* kFailed = "FAILED: ";

std::string NotACommand(std::string_view name);
std::string Arity(std::string_view name,
                  size_t operands);  // "banner takes 2 operands (see --help)"
std::string NotASlot(std::string_view what, std::string_view text, int first, int last);
std::string NeedsValue(std::string_view option);  // "--image needs a file"
std::string NotAVirtualSerial(std::string_view serial);
std::string Erased(std::string_view slot);  // "Banner 3 is erased; nothing written"
std::string Written(std::string_view slot, std::string_view path);
std::string AudioWritten(std::string_view path, int seconds, int sample_rate);
// The virtual generator's flash file does not exist yet: nothing has been loaded into it.
std::string NoFlashFileYet(std::string_view path);
std::string ImageIsAFolder(std::string_view path);

// The --help text.
std::string FlashUsage();

}  // namespace qvx::cli::flash_text
