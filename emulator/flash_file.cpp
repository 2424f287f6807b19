#include "emulator/flash_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>

namespace qvx::vg {
namespace {

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() {
    if (fd_ >= 0)
      close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

bool WriteAll(int fd, size_t offset, std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t n = pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
    if (n <= 0)
      return false;
    bytes = bytes.subspan(static_cast<size_t>(n));
    offset += static_cast<size_t>(n);
  }
  return true;
}

const char* NonEmptyEnv(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : nullptr;
}

constexpr std::string_view kDefaultFlashName = "virtual-generator-flash.bin";

std::optional<std::string> FirstUnitFlashPath() {
  if (const char* flash = NonEmptyEnv("QVX_VG_FLASH")) {
    if (std::string_view(flash) == "none")
      return std::nullopt;
    return std::string(flash);
  }
  std::filesystem::path state;
  if (const char* xdg = NonEmptyEnv("XDG_STATE_HOME")) {
    state = xdg;
  } else if (const char* home = NonEmptyEnv("HOME")) {
    state = std::filesystem::path(home) / ".local" / "state";
  } else {
    return std::nullopt;
  }
  return (state / "qvx5120" / kDefaultFlashName).string();
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
  if (index == 0)
    return path;
  const std::filesystem::path file(path);
  if (file.filename() == kDefaultFlashName) {
    return (file.parent_path() / ("virtual-generator-flash-" + UnitSerial(index) + ".bin"))
        .string();
  }
  return path + "." + UnitSerial(index);
}

std::optional<std::string> FlashPathFromEnvironment(int index) {
  auto first = FirstUnitFlashPath();
  if (!first)
    return std::nullopt;
  return UnitSiblingPath(*first, index);
}

bool ReadFlashFile(const std::string& path, std::span<uint8_t> image) {
  Fd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st {};
  if (fd.get() < 0 || fstat(fd.get(), &st) != 0 || st.st_size != static_cast<off_t>(image.size())) {
    return false;
  }
  size_t done = 0;
  while (done < image.size()) {
    const ssize_t n =
        pread(fd.get(), image.data() + done, image.size() - done, static_cast<off_t>(done));
    if (n <= 0)
      return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool WriteFlashFile(const std::string& path, std::span<const uint8_t> image) {
  std::error_code ignored;
  const auto parent = std::filesystem::path(path).parent_path();
  if (!parent.empty())
    std::filesystem::create_directories(parent, ignored);
  Fd fd(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  return fd.get() >= 0 && WriteAll(fd.get(), 0, image);
}

bool WriteFlashRange(const std::string& path, size_t offset, std::span<const uint8_t> bytes) {
  Fd fd(open(path.c_str(), O_WRONLY | O_CLOEXEC));
  return fd.get() >= 0 && WriteAll(fd.get(), offset, bytes);
}

}  // namespace qvx::vg
