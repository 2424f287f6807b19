// A picture or banner made from any picture: read, placed by its fit, resampled for the
// generator's raster and written as the one BMP the generator takes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "encode/bmp_check.h"
#include "prep/colour.h"
#include "prep/geometry.h"

namespace qvx::prep {

struct PrepOptions {
  BmpKind kind = BmpKind::kPicture;
  // A picture's height; a banner takes the sample shape of this standard.
  int lines = 576;
  DisplayAspect aspect = DisplayAspect::k4x3;
  Fit fit = Fit::kLetterbox;
  Colour background = kBlack;  // behind transparency and in the bars
};

struct Prepared {
  std::vector<uint8_t> bmp;  // the whole file
  Frame frame;
  Placement placement;
  std::string source;  // what was read: format, size, what was done to it
};

// Throws PrepError when the picture cannot be read.
Prepared PreparePicture(const std::string& path, const PrepOptions& options);

// The frame an option set fills.
Frame FrameOf(const PrepOptions& options);

// Where the source went: "letterbox: source 1024x768 on columns 9..710, rows 0..575"; a crop
// names the part of the source shown: "crop: source 1024x750 from 0,9 on columns 0..719, ...".
std::string DescribePlacement(const Placement& placement, Fit fit);

}  // namespace qvx::prep
