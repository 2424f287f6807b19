// Appending a record line on POSIX systems: the file opened for each line (so a file that was
// moved or removed is made again where the records are expected, never written into unseen),
// locked with flock, the line written at its end, cut back with ftruncate if it did not go whole,
// and synced with fdatasync.
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "records/record_store.h"

namespace qvx::records {
namespace {

std::string Why(const char* what, int error) {
  return std::string(what) + ": " + std::strerror(error);
}

// A file descriptor closed when it goes; closing it also drops its lock.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0)
      ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Makes a new file's name durable with its folder; a failure here loses nothing already written.
void SyncFolderOf(const std::string& path) {
  std::string folder = std::filesystem::path(path).parent_path().string();
  if (folder.empty())
    folder = ".";
  const Descriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0)
    ::fsync(dir.get());
}

class PosixRecordStore final : public RecordStore {
 public:
  std::optional<std::string> AppendWhole(const std::string& path, std::string_view line) override {
    const Descriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
    if (file.get() < 0)
      return Why("cannot open it", errno);
    int locked;
    do
      locked = ::flock(file.get(), LOCK_EX);
    while (locked != 0 && errno == EINTR);
    if (locked != 0)
      return Why("cannot lock it", errno);
    struct stat before {};
    if (::fstat(file.get(), &before) != 0)
      return Why("cannot read its size", errno);
    // Under the lock no other writer appends: this is where the line begins.
    const off_t begin = before.st_size;
    size_t done = 0;
    int error = 0;
    while (done < line.size()) {
      const ssize_t written = ::write(file.get(), line.data() + done, line.size() - done);
      if (written < 0 && errno == EINTR)
        continue;
      if (written <= 0) {
        error = written < 0 ? errno : ENOSPC;
        break;
      }
      done += static_cast<size_t>(written);
    }
    if (error == 0 && ::fdatasync(file.get()) != 0)
      error = errno;
    if (error != 0) {
      // Whatever reached the file of this line goes again: a reader only ever sees whole lines.
      if (::ftruncate(file.get(), begin) == 0)
        ::fdatasync(file.get());
      return Why(done < line.size() ? "cannot write it" : "cannot sync it", error);
    }
    if (begin == 0)
      SyncFolderOf(path);
    return std::nullopt;
  }

  bool Writable(const std::string& path) override {
    struct stat facts {};
    if (::stat(path.c_str(), &facts) == 0)
      return !S_ISDIR(facts.st_mode) && ::access(path.c_str(), W_OK) == 0;
    std::string folder = std::filesystem::path(path).parent_path().string();
    return errno == ENOENT && ::access(folder.empty() ? "." : folder.c_str(), W_OK | X_OK) == 0;
  }

  std::optional<uint64_t> RoomLeft(const std::string& path) override {
    std::string folder = std::filesystem::path(path).parent_path().string();
    struct statvfs facts {};
    if (::statvfs(folder.empty() ? "." : folder.c_str(), &facts) != 0)
      return std::nullopt;
    return static_cast<uint64_t>(facts.f_bavail) * facts.f_frsize;
  }
};

}  // namespace

RecordStore& SystemRecordStore() {
  static PosixRecordStore store;
  return store;
}

}  // namespace qvx::records
