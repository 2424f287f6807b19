// Pixel aspect ratios and fitting.
#include "prep/geometry.h"

#include <algorithm>
#include <cmath>

#include "encode/bmp_check.h"

namespace qvx::prep {

PixelAspect GeneratorPixelAspect(int lines, DisplayAspect aspect) {
  const bool wide = aspect == DisplayAspect::k16x9;
  if (lines == static_cast<int>(kShortPictureHeight))
    return wide ? PixelAspect{40, 33} : PixelAspect{10, 11};
  return wide ? PixelAspect{118, 81} : PixelAspect{59, 54};
}

Frame PictureFrame(int lines, DisplayAspect aspect) {
  return {static_cast<int>(kBmpWidth), lines, GeneratorPixelAspect(lines, aspect)};
}

Frame BannerFrame(int lines, DisplayAspect aspect) {
  return {static_cast<int>(kBmpWidth), static_cast<int>(kBannerHeight),
          GeneratorPixelAspect(lines, aspect)};
}

Placement Place(double source_width, double source_height, const Frame& frame, Fit fit) {
  Placement p{0, 0, frame.width, frame.height, 0, 0, source_width, source_height};
  if (fit == Fit::kStretch)
    return p;
  const double par = frame.pixel_aspect.value();
  // Lines per source pixel when the width, or the height, of the source meets the frame's.
  const double by_width = frame.width * par / source_width;
  const double by_height = frame.height / source_height;
  if (fit == Fit::kLetterbox) {
    const double scale = std::min(by_width, by_height);
    p.width = std::clamp(static_cast<int>(std::lround(source_width * scale / par)), 1, frame.width);
    p.height = std::clamp(static_cast<int>(std::lround(source_height * scale)), 1, frame.height);
    p.x = (frame.width - p.width) / 2;
    p.y = (frame.height - p.height) / 2;
    return p;
  }
  const double scale = std::max(by_width, by_height);
  p.source_width = std::min(source_width, frame.width * par / scale);
  p.source_height = std::min(source_height, frame.height / scale);
  p.source_x = (source_width - p.source_width) / 2;
  p.source_y = (source_height - p.source_height) / 2;
  return p;
}

std::optional<Fit> FitNamed(std::string_view name) {
  for (Fit fit : {Fit::kLetterbox, Fit::kCrop, Fit::kStretch}) {
    if (FitName(fit) == name)
      return fit;
  }
  return std::nullopt;
}

std::string_view FitName(Fit fit) {
  switch (fit) {
    case Fit::kLetterbox:
      return "letterbox";
    case Fit::kCrop:
      return "crop";
    case Fit::kStretch:
      break;
  }
  return "stretch";
}

std::optional<DisplayAspect> AspectNamed(std::string_view name) {
  if (name == "4:3")
    return DisplayAspect::k4x3;
  if (name == "16:9")
    return DisplayAspect::k16x9;
  return std::nullopt;
}

std::string_view AspectName(DisplayAspect aspect) {
  return aspect == DisplayAspect::k16x9 ? "16:9" : "4:3";
}

}  // namespace qvx::prep
