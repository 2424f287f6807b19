// A user's content file opened for reading only. Reads report I/O errors instead of passing stale
// bytes on as data.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>

namespace qvx {

// Reading a file failed part-way (a storage error, or the file shrank while it was being read).
class FileReadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class ContentFile {
 public:
  // Opens a regular file for reading; nullptr when it cannot be opened.
  static std::unique_ptr<ContentFile> Open(const std::string& path);
  ~ContentFile();
  ContentFile(const ContentFile&) = delete;
  ContentFile& operator=(const ContentFile&) = delete;

  // Length of the file when it was opened.
  uint64_t size() const { return size_; }
  uint64_t position() const { return position_; }

  // Reads up to buffer.size() bytes; fewer only at the end of the file. Throws FileReadError on an
  // I/O error.
  size_t Read(std::span<uint8_t> buffer);

 private:
  ContentFile(std::FILE* file, uint64_t size) : file_(file), size_(size) {}

  std::FILE* file_;
  uint64_t size_;
  uint64_t position_ = 0;
};

}  // namespace qvx
