// Preparation texts that carry a value.
#include "prep/texts.h"

namespace qvx::prep::text {
namespace {

std::string N(int64_t value) {
  return std::to_string(value);
}

}  // namespace

std::string TooShort(uint64_t bytes, size_t header) {
  return "only " + N(static_cast<int64_t>(bytes)) + " bytes, too short for the " +
         N(static_cast<int64_t>(header)) + "-byte header";
}

std::string OtherFormat(std::string_view format) {
  return "a " + std::string(format) + " image, not a BMP file";
}

std::string InfoHeader(uint32_t size, std::string_view name, uint32_t expected_size) {
  return "a " + N(size) + "-byte " + std::string(name) +
         " header (the generator takes the 40-byte header, declared size " + N(expected_size) + ")";
}

std::string DataAt(uint32_t at, size_t header, uint32_t expected_size) {
  return "pixel data at byte " + N(at) + " (the generator takes it at byte " +
         N(static_cast<int64_t>(header)) + ", declared size " + N(expected_size) + ")";
}

std::string DeclaredSize(uint32_t declared, uint32_t expected) {
  return "declared size " + N(declared) + " (the generator takes " + N(expected) + ")";
}

std::string Width(int64_t width, uint32_t expected) {
  return "width " + N(width) + " (the generator takes " + N(expected) + ")";
}

std::string Height(int64_t rows, bool picture) {
  return "height " + N(rows) +
         (picture ? " (a picture is 576 or 480 lines)" : " (a banner is 72 lines)");
}

std::string BitCount(int bits) {
  return N(bits) + " bits per pixel (the generator takes 24)";
}

std::string Compression(std::string_view name) {
  return std::string(name) + " compression (the generator takes uncompressed pixels)";
}

std::string ShorterThanDeclared(uint64_t bytes, uint32_t declared) {
  return N(static_cast<int64_t>(bytes)) + " bytes, shorter than the " + N(declared) +
         " its header declares";
}

std::string PrepHint(std::string_view prep_command, bool fit_available) {
  return "qvx5120-prep " + std::string(prep_command) + " makes the file the generator takes" +
         (fit_available ? ", or load it with --fit letterbox, crop or stretch" : "");
}

std::string NotAFit(std::string_view mode) {
  return "--fit: \"" + std::string(mode) + "\" is not " + kFitModes;
}

std::string PreparedNote(std::string_view file, std::string_view slot, std::string_view geometry) {
  return std::string(file) + ": prepared in memory for " + std::string(slot) + ", " +
         std::string(geometry);
}

}  // namespace qvx::prep::text
