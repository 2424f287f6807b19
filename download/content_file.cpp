// Content file reading.
#include "download/content_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "download/texts.h"

namespace qvx {

std::unique_ptr<ContentFile> ContentFile::Open(const std::string& path) {
  std::error_code error;
  const std::filesystem::path file_path(path);
  if (!std::filesystem::is_regular_file(file_path, error))
    return nullptr;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr)
    return nullptr;
  const auto size = std::filesystem::file_size(file_path, error);
  if (error) {
    std::fclose(file);
    return nullptr;
  }
  return std::unique_ptr<ContentFile>(new ContentFile(file, size));
}

ContentFile::~ContentFile() {
  std::fclose(file_);
}

size_t ContentFile::Read(std::span<uint8_t> buffer) {
  errno = 0;
  const size_t got = std::fread(buffer.data(), 1, buffer.size(), file_);
  if (got < buffer.size() && std::ferror(file_)) {
    const int code = errno;
    throw FileReadError(std::string(kFileUnreadableText) +
                        (code != 0 ? std::strerror(code) : "read error"));
  }
  position_ += got;
  return got;
}

}  // namespace qvx
