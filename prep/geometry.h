// Where a picture lands in the generator's raster. The generator samples every line at 720 points
// whatever the picture, so its pixels are not square: how wide a sample looks depends on the line
// standard (576 or 480 lines) and on the display's aspect (4:3 or 16:9). This file holds those
// ratios and the three ways of fitting a picture of square pixels into the raster.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qvx::prep {

enum class Fit { kLetterbox, kCrop, kStretch };
enum class DisplayAspect { k4x3, k16x9 };

// The width of one generator sample over the height of one line.
struct PixelAspect {
  int num;
  int den;
  double value() const { return static_cast<double>(num) / den; }
};

// ITU-R BT.601 sampling: the square-pixel sampling rate over 13.5 MHz (14.75 MHz for 625 lines,
// 12 3/11 MHz for 525), so that circles are round on a monitor set up to the standard; 16:9 widens
// each by 4/3. 576 lines: 59:54 and 118:81; 480 lines: 10:11 and 40:33. The 720 samples are then a
// little wider than the display: about 703 or 704 of them are the picture, the rest the line's
// margin.
PixelAspect GeneratorPixelAspect(int lines, DisplayAspect aspect);

// The raster a file fills: 720 samples by 576, 480 or 72 lines, and the standard's sample shape.
struct Frame {
  int width;
  int height;
  PixelAspect pixel_aspect;
};

// The frame of a picture (lines 576 or 480) or of a banner (72 lines on a `lines` standard).
Frame PictureFrame(int lines, DisplayAspect aspect);
Frame BannerFrame(int lines, DisplayAspect aspect);

// A source of square pixels placed into a frame.
struct Placement {
  // The samples and lines the picture covers: columns [x, x + width), rows [y, y + height); the
  // rest of the frame is background.
  int x;
  int y;
  int width;
  int height;
  // The part of the source shown there, in source pixels: all of it unless cropped.
  double source_x;
  double source_y;
  double source_width;
  double source_height;
};

// Letterbox: the whole source, as large as fits with its shape kept, centred (an odd number of
// spare samples or lines puts the extra one after the picture); the size is rounded to whole
// samples and lines. Crop: the whole frame, with the source's middle part of the frame's shape.
// Stretch: the whole source on the whole frame, its shape ignored.
Placement Place(double source_width, double source_height, const Frame& frame, Fit fit);

std::optional<Fit> FitNamed(std::string_view name);  // letterbox, crop, stretch
std::string_view FitName(Fit fit);
std::optional<DisplayAspect> AspectNamed(std::string_view name);  // 4:3, 16:9
std::string_view AspectName(DisplayAspect aspect);

}  // namespace qvx::prep
