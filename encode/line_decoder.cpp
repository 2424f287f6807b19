// The approximate inverse of the line encoder, for looking at what a stored line shows.
#include <algorithm>
#include <cmath>

#include "encode/line_encoder.h"

namespace qvx {
namespace {

// The encoder's forward matrix in 1/256 units: rows Y, Cb, Cr; columns R, G, B.
constexpr double kForward[3][3] = {{77, 150, 29}, {-44, -87, 131}, {131, -110, -21}};

struct Matrix3 {
  double m[3][3];
};

// Inverse of kForward / 256 by the adjugate, computed at compile time.
constexpr Matrix3 InverseOfForward() {
  const auto& a = kForward;
  const double c00 = a[1][1] * a[2][2] - a[1][2] * a[2][1];
  const double c01 = a[1][2] * a[2][0] - a[1][0] * a[2][2];
  const double c02 = a[1][0] * a[2][1] - a[1][1] * a[2][0];
  const double det = a[0][0] * c00 + a[0][1] * c01 + a[0][2] * c02;
  const double s = 256.0 / det;
  Matrix3 r{};
  r.m[0][0] = c00 * s;
  r.m[1][0] = c01 * s;
  r.m[2][0] = c02 * s;
  r.m[0][1] = (a[0][2] * a[2][1] - a[0][1] * a[2][2]) * s;
  r.m[1][1] = (a[0][0] * a[2][2] - a[0][2] * a[2][0]) * s;
  r.m[2][1] = (a[0][1] * a[2][0] - a[0][0] * a[2][1]) * s;
  r.m[0][2] = (a[0][1] * a[1][2] - a[0][2] * a[1][1]) * s;
  r.m[1][2] = (a[0][2] * a[1][0] - a[0][0] * a[1][2]) * s;
  r.m[2][2] = (a[0][0] * a[1][1] - a[0][1] * a[1][0]) * s;
  return r;
}

constexpr Matrix3 kInverse = InverseOfForward();

// The encoder truncates every term: luma loses about half a count on each of its three terms, and
// each chroma value gains about half a count net. Undo that average bias before inverting.
constexpr double kLumaBias = 1.5;
constexpr double kChromaBias = 0.5;

uint8_t ToByte(double v) {
  return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

void StorePixel(double y, double cb, double cr, uint8_t* bgr) {
  const double yv = y + kLumaBias;
  const double u = cb - 128.0 - kChromaBias;
  const double v = cr - 128.0 - kChromaBias;
  const auto& k = kInverse.m;
  bgr[2] = ToByte(k[0][0] * yv + k[0][1] * u + k[0][2] * v);  // red
  bgr[1] = ToByte(k[1][0] * yv + k[1][1] * u + k[1][2] * v);  // green
  bgr[0] = ToByte(k[2][0] * yv + k[2][1] * u + k[2][2] * v);  // blue
}

}  // namespace

void DecodeLine(std::span<const uint8_t, kEncodedLineSize> encoded, BmpLine& out) {
  for (size_t p = 0; p < kEncodedLineSize / 4; ++p) {
    const double cb = encoded[4 * p], y0 = encoded[4 * p + 1];
    const double cr = encoded[4 * p + 2], y1 = encoded[4 * p + 3];
    StorePixel(y0, cb, cr, out.data() + 6 * p);
    StorePixel(y1, cb, cr, out.data() + 6 * p + 3);
  }
}

}  // namespace qvx
