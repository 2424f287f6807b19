#include "tests/support/test_files.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace qvx::test {

std::string TempDir() {
  // Made on first use and removed with everything in it when the test process ends.
  struct Folder {
    std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("qvx-download-tests-" + std::to_string(getpid()));
    Folder() { std::filesystem::create_directories(path); }
    ~Folder() {
      std::error_code ignored;
      std::filesystem::remove_all(path, ignored);
    }
  };
  static const Folder folder;
  return folder.path.string();
}

std::string WriteFile(const std::string& name, std::span<const uint8_t> bytes) {
  const std::string path = TempDir() + "/" + name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return path;
}

uint8_t PixelByte(int x, int y_from_top, int channel) {
  switch (channel) {
    // Mid-range colours that change slowly along a row, so a decoded line can be compared with
    // its source; green differs from row to row so misplaced lines show.
    case 0:  // blue
      return static_cast<uint8_t>(40 + x / 6);
    case 1:  // green
      return static_cast<uint8_t>(60 + (y_from_top * 37) % 120);
    default:  // red
      return static_cast<uint8_t>(50 + x / 5 + (y_from_top % 20) * 2);
  }
}

std::vector<uint8_t> BmpHeader(const BmpFields& fields) {
  std::vector<uint8_t> h(kBmpHeaderBytes, 0);
  auto put = [&h](size_t at, uint32_t value, int count) {
    for (int i = 0; i < count; ++i)
      h[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
  };
  h[0] = 'B';
  h[1] = 'M';
  put(2, fields.declared_size, 4);
  put(10, kBmpHeaderBytes, 4);
  put(14, 40, 4);
  put(18, 720, 4);
  put(22, fields.height, 4);
  put(26, 1, 2);
  put(28, fields.bits, 2);
  put(30, fields.compression, 4);
  put(34, fields.image_size, 4);
  return h;
}

std::vector<uint8_t> MakeBmp(int height, uint32_t declared_size) {
  const uint32_t pixels = 720u * static_cast<uint32_t>(height) * 3;
  const uint32_t size = kBmpHeaderBytes + pixels;
  std::vector<uint8_t> bmp = BmpHeader({.declared_size = declared_size == 0 ? size : declared_size,
                                        .height = static_cast<uint32_t>(height),
                                        .image_size = pixels});
  bmp.resize(size, 0);
  for (int row = 0; row < height; ++row) {  // stored bottom-up
    const int y = height - 1 - row;
    for (int x = 0; x < 720; ++x) {
      for (int c = 0; c < 3; ++c)
        bmp[54 + (size_t(row) * 720 + x) * 3 + c] = PixelByte(x, y, c);
    }
  }
  return bmp;
}

std::string Sha256Sum(const std::string& path) {
  std::FILE* pipe = popen(("sha256sum '" + path + "'").c_str(), "r");
  char digest[65] = {};
  const bool read = pipe != nullptr && std::fread(digest, 1, 64, pipe) == 64;
  if (pipe != nullptr)
    pclose(pipe);
  return read ? digest : "";
}

}  // namespace qvx::test
