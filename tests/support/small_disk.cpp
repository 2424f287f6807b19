#include "tests/support/small_disk.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "tests/support/test_files.h"

namespace qvx::test {

SmallDisk::SmallDisk(const std::string& name, size_t bytes) : folder_(TempDir() + "/" + name) {
  std::filesystem::create_directories(folder_);
  const std::string size = "size=" + std::to_string(bytes);
  mounted_ = ::mount("tmpfs", folder_.c_str(), "tmpfs", 0, size.c_str()) == 0;
}

SmallDisk::~SmallDisk() {
  if (mounted_)
    ::umount2(folder_.c_str(), MNT_DETACH);
}

void SmallDisk::Fill() {
  const int fd = ::open((folder_ + "/filler").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (fd < 0)
    return;
  const std::vector<char> block(512, 'x');
  // Down to single bytes, so not even a short line fits afterwards.
  for (size_t piece = block.size(); piece > 0; piece /= 2) {
    while (::write(fd, block.data(), piece) == static_cast<ssize_t>(piece)) {
    }
  }
  ::fsync(fd);
  ::close(fd);
}

void SmallDisk::Free() {
  std::filesystem::remove(folder_ + "/filler");
}

}  // namespace qvx::test
