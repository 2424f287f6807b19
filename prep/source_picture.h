// Reading a picture of any format Qt reads (PNG, JPEG, GIF, TIFF, WebP and others where a plugin
// is installed, BMP of any kind) or an SVG drawing, into one form: upright by its EXIF orientation,
// in sRGB, 16 bits a channel with its transparency kept apart.
#pragma once

#include <QImage>
#include <stdexcept>
#include <string>

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
  QImage pixels;        // Format_RGBA64, sRGB, straight alpha
  std::string summary;  // "PNG 1024x768, 16-bit, alpha", "JPEG 3024x4032, turned upright by EXIF"
};

// Reads `path`. An SVG drawing is rendered at twice the scale at which it would cover `frame`, so
// that every fit shrinks it. Throws PrepError.
SourcePicture ReadPicture(const std::string& path, const Frame& frame);

}  // namespace qvx::prep
