// One opener per unit across processes, as FTDI's driver allows: an advisory lock on a file beside
// the unit's flash file, held from a successful open to the close. A unit kept in memory only has
// no file and so no lock across processes.
#pragma once

#include <cstdint>
#include <string>

namespace qvx::vg {

class OpenerLock {
 public:
  static constexpr intptr_t kNoLock = -1;  // as INVALID_HANDLE_VALUE on Windows

  OpenerLock() = default;
  OpenerLock(const OpenerLock&) = delete;
  OpenerLock& operator=(const OpenerLock&) = delete;
  ~OpenerLock() { Release(); }

  // Takes the lock of the unit whose flash lives in `flash_path` without waiting; false when
  // another process holds it (or the lock file cannot be made).
  bool Acquire(const std::string& flash_path);
  void Release();
  bool held() const { return lock_ != kNoLock; }

  // Whether another opener holds the lock of the unit whose flash lives in `flash_path`, asked
  // without taking it (on Linux; on Windows the lock is tried and let go at once, which an open
  // in another process at that very moment could find taken). False when there is no lock file.
  static bool HeldElsewhere(const std::string& flash_path);

 private:
  intptr_t lock_ = kNoLock;  // the locked file's descriptor, or its handle on Windows
};

// "<flash file>.lock".
std::string LockPathFor(const std::string& flash_path);

}  // namespace qvx::vg
