// The file system under a record file, as the record writer needs it: append one line whole and
// on disk, or leave the file as it was. The seam lets tests fail a write as a full disk does.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qvx::records {

class RecordStore {
 public:
  virtual ~RecordStore() = default;
  // Appends `line` (its line break included) to the file at `path`, creating it, under an advisory
  // lock on the file that every writer of the file takes, and syncs it before it returns. On a
  // failed or short write the file is cut back to where the line began, so no reader ever sees a
  // part of it. Returns why the line could not be written, or nothing when it is on disk.
  virtual std::optional<std::string> AppendWhole(const std::string& path,
                                                 std::string_view line) = 0;
  // Bytes this user may still write on the file system that holds `path`; nothing when unknown.
  virtual std::optional<uint64_t> RoomLeft(const std::string& path) = 0;
  // Whether a line could be appended to `path` now, as far as can be told without writing one:
  // the file, or its folder for a file not there yet, is this user's to write, and not a folder.
  virtual bool Writable(const std::string& path) = 0;
};

// The platform's: POSIX (flock, fdatasync, ftruncate) or Windows (LockFileEx, FlushFileBuffers,
// SetEndOfFile).
RecordStore& SystemRecordStore();

}  // namespace qvx::records
