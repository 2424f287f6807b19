// Writes the seed corpora of the fuzz targets: a few good inputs and the edges next to them.
// Usage: make_seeds DIR (normally fuzz/corpus); each target's seeds go to DIR/<target>.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/test_files.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

void Save(const fs::path& dir, const std::string& name, const Bytes& bytes) {
  fs::create_directories(dir);
  std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

// A 54-byte BMP header: 720 wide, 24 bits, uncompressed, unless told otherwise.
Bytes Header(uint32_t declared, uint32_t height, uint32_t bits = 24, uint32_t compression = 0) {
  return qvx::test::BmpHeader(
      {.declared_size = declared, .height = height, .bits = bits, .compression = compression});
}

// The image target's compact form: operation byte, length adjustment, header, row pattern.
Bytes Compact(uint8_t operation, int16_t adjust, const Bytes& header, const Bytes& pattern) {
  Bytes input = {static_cast<uint8_t>(operation | 4), static_cast<uint8_t>(adjust),
                 static_cast<uint8_t>(static_cast<uint16_t>(adjust) >> 8)};
  input.insert(input.end(), header.begin(), header.end());
  input.insert(input.end(), pattern.begin(), pattern.end());
  return input;
}

Bytes Plain(uint8_t operation, const Bytes& file) {
  Bytes input = {operation};
  input.insert(input.end(), file.begin(), file.end());
  return input;
}

Bytes Text(uint8_t channel, const std::string& text) {
  Bytes input = {channel};
  input.insert(input.end(), text.begin(), text.end());
  return input;
}

void ImageSeeds(const fs::path& dir) {
  const Bytes colours = {0, 0, 255, 255, 255, 255, 16, 128, 200, 0, 255, 0};
  const uint8_t kPicture1 = 0, kPicture2 = 1, kBanner3 = 2 | (2 << 4), kCountdown = 3;
  Save(dir, "picture-576", Compact(kPicture1, 0, Header(1244214, 576), colours));
  Save(dir, "picture-480", Compact(kPicture2, 0, Header(1036854, 480), {40, 80, 120}));
  Save(dir, "picture-480-in-576", Compact(kPicture1, 0, Header(1244214, 480), colours));
  Save(dir, "picture-short", Compact(kPicture1, -3000, Header(1244214, 576), colours));
  Save(dir, "picture-longer", Compact(kPicture2, 5000, Header(1036854, 576), {1, 2, 3, 4}));
  Save(dir, "banner", Compact(kBanner3, 0, Header(155574, 72), colours));
  Save(dir, "banner-black", Compact(kBanner3, 0, Header(155574, 72), {}));
  Save(dir, "countdown", Compact(kCountdown, 0, Header(155574, 72), {255, 255, 255}));
  Save(dir, "banner-32-bit", Compact(kBanner3, 0, Header(155574, 72, 32), colours));
  Save(dir, "banner-rle", Compact(kBanner3, 0, Header(155574, 72, 24, 1), colours));
  Save(dir, "banner-top-down", Compact(kCountdown, 0, Header(155574, 0xFFFFFFB8), colours));
  Save(dir, "banner-header-only", Plain(kBanner3, Header(155574, 72)));
  Save(dir, "picture-as-banner", Compact(kBanner3, 0, Header(1244214, 576), colours));
  Save(dir, "short-bm", Plain(kPicture1, {'B', 'M', 0x36, 0x1C}));
  Save(dir, "empty", Plain(kCountdown, {}));
}

void PatternSeeds(const fs::path& dir) {
  Bytes ramp(2880);
  for (size_t i = 0; i < ramp.size(); ++i)
    ramp[i] = static_cast<uint8_t>(i * 7);
  Save(dir, "exact", ramp);
  Bytes longer = ramp;
  longer.insert(longer.end(), 120, 0xAB);
  Save(dir, "longer", longer);
  Save(dir, "short", Bytes(ramp.begin(), ramp.begin() + 10));
  Save(dir, "empty", {});
}

void AmplitudeSeeds(const fs::path& dir) {
  const char* texts[] = {"0.0", "-6dB", "  -12.5", "0.001",          "-0",
                         "nan", "-inf", "1e400",   "-1e-320",        "0x-1p3",
                         "abc", "",     "-0.0005", "-123456789.0625"};
  int n = 0;
  for (const char* text : texts) {
    Save(dir, "text-" + std::to_string(n), Text(static_cast<uint8_t>(n % 4), text));
    ++n;
  }
  Save(dir, "embedded-nul",
       Text(1, std::string("-3\0"
                           "5",
                           4)));
}

void ParserSeeds(const fs::path& dir) {
  // Status behaviour byte, cut seed byte, then the stream.
  Save(dir, "erase", {2, 0, 0xF0, 0xF4, 0x06, 0x80, 0x00, 0xF6, 0xFD, 0xFD, 0xFD, 0xFF});
  Bytes block = {1, 7, 0xF0, 0xF4, 0x08, 0xE2, 0x70, 0xF8};
  for (int i = 0; i < 1536; ++i)
    block.push_back(i < 1440 ? static_cast<uint8_t>(16 + i % 200) : 0);
  block.push_back(0xFF);
  Save(dir, "block", block);
  Bytes pattern = {0, 3, 0xF0, 0xF4, 0x06, 0x00, 0x00, 0xF6, 0xFD, 0xF9};
  for (int i = 0; i < 2880; ++i)
    pattern.push_back(static_cast<uint8_t>(i));
  pattern.insert(pattern.end(), {0xFD, 0xFE, 0xFF});
  Save(dir, "pattern", pattern);
  Save(dir, "past-the-end", {0, 9, 0xF0, 0xF4, 0xFF, 0xFF, 0xFF, 0xF8, 1, 2, 3, 0xF6, 0xFF});
  Save(dir, "outside-loading-mode", {4, 1, 0xF4, 0x00, 0x20, 0x00, 0xF6, 0xFD, 0x42, 0x00});
  Save(dir, "cut-command", {8, 2, 0xF0, 0xF9, 1, 2, 3});
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
    return 2;
  }
  const fs::path dir = argv[1];
  ImageSeeds(dir / "image_download");
  PatternSeeds(dir / "pattern_download");
  AmplitudeSeeds(dir / "amplitude_text");
  ParserSeeds(dir / "command_parser");
  return 0;
}
