// The seam between reading a picture and preparing it. Two readers stand behind it: Qt's image
// readers and Qt SVG on Linux (source_picture.cpp), the Windows Imaging Component on Windows
// (source_picture_wic.cpp). Both hand over one form, upright by its EXIF orientation, in sRGB,
// straight RGBA at 16 bits a channel, so that everything after reading is one code.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "prep/geometry.h"

namespace qvx::prep {

// A picture cannot be read or prepared; `what` says why, for the user.
class PrepError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The input itself is refused (no such file, not a picture, an empty text), as against an output
// that cannot be written.
class InputRefused : public PrepError {
 public:
  using PrepError::PrepError;
};

struct SourcePicture {
  int width = 0;
  int height = 0;
  // Red, green, blue, alpha of each pixel, rows from the top; straight alpha, sRGB. An 8-bit
  // source's samples are widened exactly (v * 257), so both depths take one path.
  std::vector<uint16_t> rgba;
  std::string summary;  // "PNG 1024x768, 16-bit, alpha", "JPEG 3024x4032, turned upright by EXIF"

  const uint16_t* Row(int y) const { return rgba.data() + static_cast<size_t>(y) * width * 4; }
};

// Reads `path`. On Linux an SVG drawing is rendered at twice the scale at which it would cover
// `frame`, so that every fit shrinks it; Windows has no SVG reader and refuses it. Throws
// PrepError (InputRefused for the input).
SourcePicture ReadPicture(const std::string& path, const Frame& frame);

// The formats this build reads, for the usage text: "bmp gif jpeg png ...".
std::string ReadableFormats();

// Makes ready what the reader and the text banners need (Qt's GUI application without a display;
// COM on Windows), once a process; `program` names the messages of the platform's own.
void StartImaging(const char* program);

}  // namespace qvx::prep
