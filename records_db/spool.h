// A record file read as the shipper's spool: its whole lines from a byte offset on, each with its
// number and where it ends, so shipping can stop after any line and go on from there later; and
// the file's identity for that (the SHA-256 of its first line).
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace qvx::records_db {

struct SpoolLine {
  std::string text;  // without its line break
  int64_t number = 0;
  uint64_t end = 0;  // the offset just past its line break
};

// Reads a file's lines one at a time from a place in it. A file that grows is read on: a line
// without its line break yet is held back until the break is there.
class SpoolReader {
 public:
  // `offset` must be the start of line `line_number` (the offsets that SpoolLine::end gives).
  SpoolReader(const std::string& path, uint64_t offset = 0, int64_t line_number = 1);
  ~SpoolReader();
  SpoolReader(const SpoolReader&) = delete;
  SpoolReader& operator=(const SpoolReader&) = delete;

  bool is_open() const { return file_ != nullptr; }
  // The next whole line; nothing at the end of what the file holds now.
  std::optional<SpoolLine> Next();
  // What follows the last whole line (a line still being written, or a half line left by a
  // writer that stopped mid-line); empty when the file ends with a line break.
  const std::string& rest() const { return rest_; }
  int64_t next_number() const { return number_; }
  uint64_t offset() const { return offset_; }

 private:
  std::FILE* file_ = nullptr;
  std::string rest_;
  std::string buffer_;
  size_t taken_ = 0;  // of buffer_
  uint64_t offset_;   // of the start of the next line
  int64_t number_;
};

// How many whole lines the file holds from `offset` on, and where the last of them ends.
struct LineCount {
  size_t lines = 0;
  uint64_t end = 0;
};
LineCount CountWholeLines(const std::string& path, uint64_t offset);

// The SHA-256 of the file's first line with its line break; nothing while it has none.
std::optional<std::string> HeadOf(const std::string& path);

}  // namespace qvx::records_db
