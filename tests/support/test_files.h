// Files the tests hand to the operations: a temporary folder of this process, and BMP images built
// byte by byte, so that a test states exactly what the file holds.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qvx::test {

// Files for the tests, removed with the fixture's temporary directory.
std::string TempDir();
std::string WriteFile(const std::string& name, std::span<const uint8_t> bytes);
// The file's SHA-256 in lower-case hex as coreutils' sha256sum computes it: a digest made
// independently of the program's own; empty when it cannot be read.
std::string Sha256Sum(const std::string& path);

// Byte `channel` (0 blue, 1 green, 2 red) of the test image's pixel (x, y counted from the top).
uint8_t PixelByte(int x, int y_from_top, int channel);

inline constexpr uint32_t kBmpHeaderBytes = 54;

// The fields of a BMP header that tests vary; the rest is a plain 720-wide BITMAPINFOHEADER.
struct BmpFields {
  uint32_t declared_size = 0;
  uint32_t height = 0;
  uint32_t bits = 24;
  uint32_t compression = 0;
  uint32_t image_size = 0;
};

// The 54-byte header of a 720-wide bottom-up BMP.
std::vector<uint8_t> BmpHeader(const BmpFields& fields);

// A 24-bit bottom-up BMP of 720 x `height` holding the test image; `declared_size` overrides the
// file size its header declares.
std::vector<uint8_t> MakeBmp(int height, uint32_t declared_size = 0);

}  // namespace qvx::test
