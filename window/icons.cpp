// The icon pictures, drawn pixel by pixel so they stay crisp and within the palette.
#include "window/icons.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>

#include "window/templates.h"

namespace qvx::resources {
namespace {

enum Colour : std::uint8_t {
  kBlack = 0,
  kDarkGreen = 2,
  kSilver = 7,
  kGrey = 8,
  kRed = 9,
  kGreen = 10,
  kYellow = 11,
  kBlue = 12,
  kMagenta = 13,
  kCyan = 14,
  kWhite = 15,
};

// Colour bars in their usual order, from white to black.
constexpr std::array<Colour, 8> kBars = {kWhite,   kYellow, kCyan, kGreen,
                                         kMagenta, kRed,    kBlue, kBlack};

class PixelCanvas {
 public:
  explicit PixelCanvas(int size)
      : size_(size), pixels_(static_cast<std::size_t>(size) * size, kTransparentPixel) {}
  // Paints the part of the rectangle that lies on the canvas.
  void Fill(int x, int y, int width, int height, Colour colour) {
    for (int row = std::max(y, 0); row < std::min(y + height, size_); ++row) {
      for (int column = std::max(x, 0); column < std::min(x + width, size_); ++column)
        pixels_[static_cast<std::size_t>(row) * size_ + column] = colour;
    }
  }
  // A filled box with a one-pixel outline.
  void Box(int x, int y, int width, int height, Colour face, Colour outline) {
    Fill(x, y, width, height, outline);
    Fill(x + 1, y + 1, width - 2, height - 2, face);
  }
  void Bars(int x, int y, int bar_width, int height) {
    for (std::size_t i = 0; i < kBars.size(); ++i) {
      Fill(x + static_cast<int>(i) * bar_width, y, bar_width, height, kBars[i]);
    }
  }
  // One cycle of a sine across the width, joined up column to column.
  void Sine(int x, int y_centre, int width, int amplitude, Colour colour) {
    int previous = 0;
    for (int i = 0; i < width; ++i) {
      const double phase = 2.0 * std::numbers::pi * i / width;
      const int y = y_centre - static_cast<int>(std::lround(amplitude * std::sin(phase)));
      const int top = i == 0 ? y : std::min(y, previous);
      const int bottom = i == 0 ? y : std::max(y, previous);
      Fill(x + i, top, 1, bottom - top + 1, colour);
      previous = y;
    }
  }
  std::vector<std::uint8_t> Take() { return std::move(pixels_); }

 private:
  int size_;
  std::vector<std::uint8_t> pixels_;
};

// The generator: a silver case with a screen of colour bars and two knobs.
std::vector<std::uint8_t> Generator(int size) {
  PixelCanvas canvas(size);
  if (size >= 32) {
    canvas.Box(1, 6, 30, 21, kSilver, kBlack);
    canvas.Fill(2, 7, 28, 1, kWhite);
    canvas.Box(3, 9, 18, 14, kBlack, kGrey);
    canvas.Bars(4, 10, 2, 12);
    canvas.Box(23, 10, 5, 5, kGrey, kBlack);
    canvas.Box(23, 17, 5, 5, kGrey, kBlack);
    canvas.Fill(25, 12, 1, 1, kWhite);
    canvas.Fill(25, 19, 1, 1, kWhite);
    canvas.Fill(3, 27, 4, 2, kBlack);
    canvas.Fill(25, 27, 4, 2, kBlack);
  } else {
    canvas.Box(0, 3, 16, 11, kSilver, kBlack);
    canvas.Box(1, 4, 10, 9, kBlack, kGrey);
    canvas.Bars(2, 5, 1, 7);
    canvas.Fill(12, 5, 3, 3, kGrey);
    canvas.Fill(12, 9, 3, 3, kGrey);
    canvas.Fill(1, 14, 2, 1, kBlack);
    canvas.Fill(13, 14, 2, 1, kBlack);
  }
  return canvas.Take();
}

// The signal: a green sine trace on a dark screen above a strip of colour bars.
std::vector<std::uint8_t> Signal(int size) {
  PixelCanvas canvas(size);
  if (size >= 32) {
    canvas.Box(1, 1, 30, 30, kBlack, kSilver);
    canvas.Fill(2, 11, 28, 1, kDarkGreen);
    canvas.Fill(15, 3, 1, 17, kDarkGreen);
    canvas.Sine(3, 11, 26, 7, kGreen);
    canvas.Bars(4, 22, 3, 7);
  } else {
    canvas.Box(0, 0, 16, 16, kBlack, kSilver);
    canvas.Sine(1, 5, 14, 3, kGreen);
    canvas.Bars(2, 11, 1, 4);
  }
  return canvas.Take();
}

}  // namespace

std::vector<std::uint8_t> IconPixels(int resource_id, int size) {
  if (size < 1)
    return {};
  if (resource_id == kApplicationIconId)
    return Generator(size);
  if (resource_id == kAboutIconId)
    return Signal(size);
  return {};
}

}  // namespace qvx::resources
