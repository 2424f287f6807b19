// Reading a record file line by line, from any line on.
#include "records_db/spool.h"

#include "records_db/digest.h"

namespace qvx::records_db {
namespace {

constexpr size_t kPiece = 1 << 20;
// A first line longer than this is no record file's: it names no file to resume.
constexpr size_t kLongestHead = 1 << 20;

}  // namespace

SpoolReader::SpoolReader(const std::string& path, uint64_t offset, int64_t line_number)
    : offset_(offset), number_(line_number) {
  file_ = std::fopen(path.c_str(), "rb");
  if (file_ != nullptr && std::fseek(file_, static_cast<long>(offset), SEEK_SET) != 0) {
    std::fclose(file_);
    file_ = nullptr;
  }
}

SpoolReader::~SpoolReader() {
  if (file_ != nullptr)
    std::fclose(file_);
}

std::optional<SpoolLine> SpoolReader::Next() {
  if (file_ == nullptr)
    return std::nullopt;
  for (;;) {
    const size_t end = buffer_.find('\n', taken_);
    if (end != std::string::npos) {
      SpoolLine line;
      line.text.assign(buffer_, taken_, end - taken_);
      line.number = number_++;
      offset_ += end + 1 - taken_;
      line.end = offset_;
      taken_ = end + 1;
      rest_.clear();
      return line;
    }
    // Keep the unfinished part, then read on; a file that grew since the last end is read again.
    buffer_.erase(0, taken_);
    taken_ = 0;
    std::clearerr(file_);
    const size_t had = buffer_.size();
    buffer_.resize(had + kPiece);
    const size_t got = std::fread(buffer_.data() + had, 1, kPiece, file_);
    buffer_.resize(had + got);
    if (got == 0) {
      rest_ = buffer_;
      return std::nullopt;
    }
  }
}

LineCount CountWholeLines(const std::string& path, uint64_t offset) {
  LineCount count{0, offset};
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr || std::fseek(file, static_cast<long>(offset), SEEK_SET) != 0) {
    if (file != nullptr)
      std::fclose(file);
    return count;
  }
  std::string piece(kPiece, '\0');
  uint64_t at = offset;
  for (size_t got; (got = std::fread(piece.data(), 1, piece.size(), file)) > 0; at += got) {
    for (size_t i = 0; i < got; ++i) {
      if (piece[i] == '\n') {
        ++count.lines;
        count.end = at + i + 1;
      }
    }
  }
  std::fclose(file);
  return count;
}

std::optional<std::string> HeadOf(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr)
    return std::nullopt;
  std::string head;
  for (int c; head.size() < kLongestHead && (c = std::fgetc(file)) != EOF;) {
    head += static_cast<char>(c);
    if (c == '\n') {
      std::fclose(file);
      return Sha256Hex(head);
    }
  }
  std::fclose(file);
  return std::nullopt;
}

}  // namespace qvx::records_db
