// Separable area and linear resampling.
#include "prep/resample.h"

#include <algorithm>
#include <cmath>

namespace qvx::prep {
namespace {

// The source pixels one output sample takes, and their weights (summing to 1).
struct Taps {
  int first = 0;
  std::vector<float> weights;
};

// The taps of each of `count` outputs covering [start, start + length) of a `size`-pixel axis.
std::vector<Taps> AxisTaps(int size, double start, double length, int count) {
  std::vector<Taps> taps(static_cast<size_t>(count));
  const double step = length / count;  // source pixels per output sample
  for (int i = 0; i < count; ++i) {
    Taps& t = taps[static_cast<size_t>(i)];
    if (step >= 1.0) {
      // Each pixel weighs the length of its overlap with the sample's span.
      const double a = start + i * step, b = a + step;
      const int first = std::max(0, static_cast<int>(std::floor(a)));
      const int last = std::min(size - 1, static_cast<int>(std::ceil(b)) - 1);
      t.first = first;
      for (int j = first; j <= last; ++j)
        t.weights.push_back(
            static_cast<float>(std::min<double>(b, j + 1) - std::max<double>(a, j)));
    } else {
      // Linear between the two pixel centres around the sample's centre, held at the edges.
      const double c = std::clamp(start + (i + 0.5) * step - 0.5, 0.0, size - 1.0);
      const int j = std::min(static_cast<int>(std::floor(c)), size - 2 < 0 ? 0 : size - 2);
      const double f = c - j;
      t.first = j;
      t.weights = {static_cast<float>(1 - f)};
      if (size > 1)
        t.weights.push_back(static_cast<float>(f));
    }
    float sum = 0;
    for (float w : t.weights)
      sum += w;
    for (float& w : t.weights)
      w /= sum;
  }
  return taps;
}

}  // namespace

float SrgbToLinear(float code) {
  return code <= 0.04045f ? code / 12.92f : std::pow((code + 0.055f) / 1.055f, 2.4f);
}

float LinearToSrgb(float light) {
  light = std::clamp(light, 0.0f, 1.0f);
  return light <= 0.0031308f ? light * 12.92f : 1.055f * std::pow(light, 1 / 2.4f) - 0.055f;
}

uint8_t LinearToSrgb8(float light) {
  return static_cast<uint8_t>(std::lround(LinearToSrgb(light) * 255.0f));
}

std::vector<float> Resample(int source_width, int source_height, const RowSource& rows, double x,
                            double y, double width, double height, int out_width, int out_height) {
  const std::vector<Taps> across = AxisTaps(source_width, x, width, out_width);
  const std::vector<Taps> down = AxisTaps(source_height, y, height, out_height);
  // The source rows the output needs, each resampled across once.
  int first_row = source_height, last_row = -1;
  for (const Taps& t : down) {
    first_row = std::min(first_row, t.first);
    last_row = std::max(last_row, t.first + static_cast<int>(t.weights.size()) - 1);
  }
  const size_t out_row = static_cast<size_t>(out_width) * 3;
  std::vector<float> narrowed(static_cast<size_t>(last_row - first_row + 1) * out_row);
  std::vector<float> source(static_cast<size_t>(source_width) * 3);
  for (int r = first_row; r <= last_row; ++r) {
    rows(r, source);
    float* out = narrowed.data() + static_cast<size_t>(r - first_row) * out_row;
    for (int i = 0; i < out_width; ++i) {
      const Taps& t = across[static_cast<size_t>(i)];
      float sum[3] = {0, 0, 0};
      for (size_t k = 0; k < t.weights.size(); ++k) {
        const float* px = source.data() + (static_cast<size_t>(t.first) + k) * 3;
        for (int c = 0; c < 3; ++c)
          sum[c] += t.weights[k] * px[c];
      }
      std::copy(sum, sum + 3, out + static_cast<size_t>(i) * 3);
    }
  }
  std::vector<float> result(static_cast<size_t>(out_height) * out_row, 0.0f);
  for (int o = 0; o < out_height; ++o) {
    const Taps& t = down[static_cast<size_t>(o)];
    float* out = result.data() + static_cast<size_t>(o) * out_row;
    for (size_t k = 0; k < t.weights.size(); ++k) {
      const float* in = narrowed.data() +
                        static_cast<size_t>(t.first + static_cast<int>(k) - first_row) * out_row;
      for (size_t i = 0; i < out_row; ++i)
        out[i] += t.weights[k] * in[i];
    }
  }
  return result;
}

}  // namespace qvx::prep
