// Resampling in linear light. Shrinking averages every source pixel over the area it covers (a box
// filter), so detail finer than a generator sample is low-passed away instead of folding back as
// moire; enlarging interpolates linearly. Averages are taken on light, not on sRGB codes, so a
// fine black-and-white pattern keeps its brightness.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace qvx::prep {

// sRGB transfer curve, on values 0..1.
float SrgbToLinear(float code);
float LinearToSrgb(float light);
// Light 0..1 as an 8-bit sRGB code, rounded.
uint8_t LinearToSrgb8(float light);

// Fills `rgb` (3 floats a pixel, linear light) with source row `y`.
using RowSource = std::function<void(int y, std::span<float> rgb)>;

// The rectangle [x, x + width) x [y, y + height) of a source_width x source_height image, brought
// to out_width x out_height; the result's rows from the top, 3 floats a pixel. Only the rows the
// rectangle touches are asked for, each once, in order.
std::vector<float> Resample(int source_width, int source_height, const RowSource& rows, double x,
                            double y, double width, double height, int out_width, int out_height);

}  // namespace qvx::prep
