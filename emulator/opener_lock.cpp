// The opener lock on each platform: flock on Linux, LockFileEx on Windows. Both locks belong to the
// open file (descriptor or handle), so even a second open in the same process conflicts, and both
// go away when it is closed, also when the process dies.
#include "emulator/opener_lock.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

#include <filesystem>

namespace qvx::vg {
namespace {

// The open, locked lock file, or kNoLock when it cannot be made or another opener holds it.
intptr_t OpenLocked(const std::string& path) {
#if defined(_WIN32)
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return OpenerLock::kNoLock;
  OVERLAPPED whole_file{};
  if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                  &whole_file)) {
    CloseHandle(file);
    return OpenerLock::kNoLock;
  }
  return reinterpret_cast<intptr_t>(file);
#else
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0)
    return OpenerLock::kNoLock;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return OpenerLock::kNoLock;
  }
  return fd;
#endif
}

void CloseLocked(intptr_t lock) {
#if defined(_WIN32)
  CloseHandle(reinterpret_cast<HANDLE>(lock));
#else
  close(static_cast<int>(lock));
#endif
}

}  // namespace

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
  lock_ = OpenLocked(path);
  return lock_ != kNoLock;
}

void OpenerLock::Release() {
  if (lock_ != kNoLock) {
    CloseLocked(lock_);  // closing the only descriptor or handle drops the lock
    lock_ = kNoLock;
  }
}

}  // namespace qvx::vg
