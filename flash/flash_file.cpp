// The flash file, read and written with the standard library only, so the same code serves Linux
// and Windows; the platforms differ only in where the file lives by default.
#include "flash/flash_file.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>

namespace qvx::flash {
namespace {

const char* NonEmptyEnv(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : nullptr;
}

constexpr std::string_view kDefaultFlashName = "virtual-generator-flash.bin";

// Where programs keep their state: %LOCALAPPDATA% on Windows, $XDG_STATE_HOME (by default
// $HOME/.local/state) elsewhere. Nothing when the environment does not say.
std::optional<std::filesystem::path> StateDirectory() {
#if defined(_WIN32)
  if (const char* local = NonEmptyEnv("LOCALAPPDATA"))
    return std::filesystem::path(local);
#else
  if (const char* xdg = NonEmptyEnv("XDG_STATE_HOME"))
    return std::filesystem::path(xdg);
  if (const char* home = NonEmptyEnv("HOME"))
    return std::filesystem::path(home) / ".local" / "state";
#endif
  return std::nullopt;
}

bool WriteAt(std::fstream& file, size_t offset, std::span<const uint8_t> bytes) {
  file.seekp(static_cast<std::streamoff>(offset));
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  file.flush();
  return file.good();
}

std::optional<std::string> FirstUnitFlashPath() {
  if (const char* flash = NonEmptyEnv(kFlashFileVariable)) {
    if (std::string_view(flash) == "none")
      return std::nullopt;
    return std::string(flash);
  }
  const auto state = StateDirectory();
  if (!state)
    return std::nullopt;
  return (*state / "qvx5120" / kDefaultFlashName).string();
}

}  // namespace

std::string UnitSerial(int index) {
  char serial[16];
  std::snprintf(serial, sizeof serial, "QVX%05d", index + 1);
  return serial;
}

std::optional<int> UnitIndex(const std::string& serial, int units) {
  for (int index = 0; index < units; ++index) {
    if (UnitSerial(index) == serial)
      return index;
  }
  return std::nullopt;
}

std::string UnitSiblingPath(const std::string& path, int index) {
  return SerialSiblingPath(path, UnitSerial(index));
}

std::string SerialSiblingPath(const std::string& path, const std::string& serial) {
  if (serial == UnitSerial(0))
    return path;
  // A serial number comes from a rack file and may hold anything but white space; a path
  // separator or a reserved character must not take the file elsewhere.
  std::string name;
  for (const char c : serial) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) != 0 || c == '-' || c == '_' || c == '.' || c == '@') {
      name += c;
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
      name += escaped;
    }
  }
  const std::filesystem::path file(path);
  if (file.filename() == kDefaultFlashName)
    return (file.parent_path() / ("virtual-generator-flash-" + name + ".bin")).string();
  return path + "." + name;
}

std::optional<std::string> FlashPathFromEnvironment(int index) {
  return SerialFlashPathFromEnvironment(UnitSerial(index));
}

std::optional<std::string> SerialFlashPathFromEnvironment(const std::string& serial) {
  auto first = FirstUnitFlashPath();
  if (!first)
    return std::nullopt;
  return SerialSiblingPath(*first, serial);
}

bool ReadFlashFile(const std::string& path, std::span<uint8_t> image) {
  std::error_code error;
  if (std::filesystem::file_size(path, error) != image.size() || error)
    return false;
  std::ifstream file(path, std::ios::binary);
  file.read(reinterpret_cast<char*>(image.data()), static_cast<std::streamsize>(image.size()));
  return file.good();
}

bool WriteFlashFile(const std::string& path, std::span<const uint8_t> image) {
  std::error_code ignored;
  const auto parent = std::filesystem::path(path).parent_path();
  if (!parent.empty())
    std::filesystem::create_directories(parent, ignored);
  std::fstream file(path, std::ios::out | std::ios::binary | std::ios::trunc);
  return file.is_open() && WriteAt(file, 0, image);
}

bool WriteFlashRange(const std::string& path, size_t offset, std::span<const uint8_t> bytes) {
  // in|out opens an existing file without truncating it, and fails when there is none.
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  return file.is_open() && WriteAt(file, offset, bytes);
}

}  // namespace qvx::flash
