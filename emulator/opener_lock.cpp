// The opener lock on each platform: an open file description lock (fcntl F_OFD_SETLK) on Linux,
// LockFileEx on Windows. Both locks belong to the open file (descriptor or handle), so even a
// second open in the same process conflicts, and both go away when it is closed, also when the
// process dies. Linux's can also be asked about without taking it (F_OFD_GETLK), which the device
// information list does for its "opened" flag.
#include "emulator/opener_lock.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include <filesystem>

namespace qvx::vg {
namespace {

#if !defined(_WIN32)
// A write lock of the whole file, or the question whether one is held (type F_WRLCK for both).
struct flock WholeFile(short type) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  return lock;  // l_start 0, l_len 0: the whole file; l_pid 0, as open file description locks ask
}
#endif

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
  struct flock whole_file = WholeFile(F_WRLCK);
  if (fcntl(fd, F_OFD_SETLK, &whole_file) != 0) {
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

bool OpenerLock::HeldElsewhere(const std::string& flash_path) {
  const std::string path = LockPathFor(flash_path);
#if defined(_WIN32)
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  OVERLAPPED whole_file{};
  const bool free = LockFileEx(file, LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole_file);
  if (free)
    UnlockFileEx(file, 0, 1, 0, &whole_file);
  CloseHandle(file);
  return !free;
#else
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return false;
  struct flock asked = WholeFile(F_WRLCK);
  const bool held = fcntl(fd, F_OFD_GETLK, &asked) == 0 && asked.l_type != F_UNLCK;
  close(fd);
  return held;
#endif
}

void OpenerLock::Release() {
  if (lock_ != kNoLock) {
    CloseLocked(lock_);  // closing the only descriptor or handle drops the lock
    lock_ = kNoLock;
  }
}

}  // namespace qvx::vg
