#include "emulator/opener_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>

namespace qvx::vg {

std::string LockPathFor(const std::string& flash_path) {
  return flash_path + ".lock";
}

bool OpenerLock::Acquire(const std::string& flash_path) {
  Release();
  const std::string path = LockPathFor(flash_path);
  std::error_code ignored;
  const auto parent = std::filesystem::path(path).parent_path();
  if (!parent.empty())
    std::filesystem::create_directories(parent, ignored);
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0)
    return false;
  // flock belongs to this open file description, so even a second open in this process conflicts.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

void OpenerLock::Release() {
  if (fd_ >= 0) {
    close(fd_);  // closing the only descriptor drops the lock
    fd_ = -1;
  }
}

}  // namespace qvx::vg
