// Texts of qvx5120-flash that carry a value.
#include "cli/flash_texts.h"

namespace qvx::cli::flash_text {

std::string NotACommand(std::string_view name) {
  return "\"" + std::string(name) + "\" is not a command (see --help)";
}

std::string Arity(std::string_view name, size_t operands) {
  return std::string(name) + " takes " + std::to_string(operands) +
         (operands == 1 ? " operand" : " operands") + " (see --help)";
}

std::string NotASlot(std::string_view what, std::string_view text, int first, int last) {
  return std::string(what) + " \"" + std::string(text) + "\" is not one of " +
         std::to_string(first) + " to " + std::to_string(last);
}

std::string NeedsValue(std::string_view option) {
  return std::string(option) + (option == "--image" ? " needs a file" : " needs a serial");
}

std::string NotAVirtualSerial(std::string_view serial) {
  return "\"" + std::string(serial) + "\" is not a virtual generator's serial number";
}

std::string Erased(std::string_view slot) {
  return std::string(slot) + " is erased; nothing written";
}

std::string Written(std::string_view slot, std::string_view path) {
  return std::string(slot) + " written to " + std::string(path);
}

std::string NoFlashFileYet(std::string_view path) {
  return "no flash file yet at " + std::string(path) +
         ": nothing has been loaded into the virtual generator (or give --image FILE)";
}

std::string ImageIsAFolder(std::string_view path) {
  return std::string(path) + ": is a folder, not a flash image";
}

std::string AudioWritten(std::string_view path, int seconds, int sample_rate) {
  return "Audio loop written to " + std::string(path) + " (" + std::to_string(seconds) +
         " s, 4 channels, " + std::to_string(sample_rate) + " Hz)";
}

// Where the virtual generator keeps its flash by default, as flash/flash_file.cpp looks for it.
#if defined(_WIN32)
constexpr const char* kDefaultFlashPlace =
    "(%QVX_VG_FLASH%, else %LOCALAPPDATA%\\qvx5120\\virtual-generator-flash.bin);\n"
    "--unit SERIAL reads another\n";
#else
constexpr const char* kDefaultFlashPlace =
    "($QVX_VG_FLASH, else $XDG_STATE_HOME/qvx5120/virtual-generator-flash.bin, by default\n"
    "~/.local/state/qvx5120/virtual-generator-flash.bin); --unit SERIAL reads another\n";
#endif

std::string FlashUsage() {
  return std::string(
             "Usage: qvx5120-flash [--image FILE] COMMAND\n"
             "       qvx5120-flash --unit SERIAL COMMAND\n"
             "\n"
             "Shows what a QVX5120 flash image holds: the virtual generator's flash file, or any\n"
             "4 MiB dump in the same layout. Without --image it reads the virtual generator's "
             "file\n") +
         kDefaultFlashPlace +
         "virtual unit's file instead (QVX00002: virtual-generator-flash-QVX00002.bin beside it,\n"
         "or <file>.QVX00002 for a file named by QVX_VG_FLASH).\n"
         "\n"
         "Commands:\n"
         "  info                          a table of every slot: erased, or holding content, with\n"
         "                                checks (video bytes within 16..235; audio words with\n"
         "                                even parity, status and block-start bits as expected)\n"
         "  picture <1|2> <out.png>       picture 1 or 2 decoded into a 720x576 RGB image\n"
         "  banner <1..9> <out.png>       banner 1 to 8, or 9 for the countdown, as 720x72\n"
         "  audio <out.wav>               the audio loop, repeated for 3 seconds, as a 4-channel\n"
         "                                48 kHz WAV with the 20-bit samples exact\n"
         "  pattern <0..15> <out.tst>     the 2880 stored bytes of a test pattern\n"
         "\n"
         "The decoded images are close to what was loaded, not equal: the generator stores\n"
         "4:2:2 YCbCr with one colour sample per pixel pair.\n"
         "\n"
         "Exit status:\n"
         "  0  done (info: every slot holding content passed its checks)\n"
         "  1  the flash image cannot be read, or the output cannot be written\n"
         "  2  the command line is wrong\n"
         "  3  info: a slot failed its checks; other commands: the slot is erased\n"
         "\n"
         "Examples:\n"
         "  qvx5120-flash info\n"
         "  qvx5120-flash banner 1 banner1.png\n"
         "  qvx5120-flash --image dump.bin audio loop.wav\n";
}

}  // namespace qvx::cli::flash_text
