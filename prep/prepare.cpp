// The preparation pipeline: composite over the background in sRGB as image viewers do, resample in
// linear light, bars of the background round the letterboxed picture.
#include "prep/prepare.h"

#include <array>
#include <cmath>
#include <cstdio>

#include "prep/bmp_writer.h"
#include "prep/resample.h"
#include "prep/source_picture.h"
#include "prep/texts.h"

namespace qvx::prep {
namespace {

// Light of each 16-bit sRGB code.
const std::array<float, 65536>& LinearOf16() {
  static const auto table = [] {
    std::array<float, 65536> t{};
    for (size_t i = 0; i < t.size(); ++i)
      t[i] = SrgbToLinear(static_cast<float>(i) / 65535.0f);
    return t;
  }();
  return table;
}

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  std::string s = text;
  return s.ends_with(".0") ? s.substr(0, s.size() - 2) : s;
}

}  // namespace

Frame FrameOf(const PrepOptions& options) {
  return options.kind == BmpKind::kPicture ? PictureFrame(options.lines, options.aspect)
                                           : BannerFrame(options.lines, options.aspect);
}

Prepared PreparePicture(const std::string& path, const PrepOptions& options) {
  const Frame frame = FrameOf(options);
  const SourcePicture source = ReadPicture(path, frame);
  const Placement place = Place(source.width, source.height, frame, options.fit);

  const Colour& bg = options.background;
  const std::array<uint32_t, 3> back{bg.red, bg.green, bg.blue};
  const auto& linear = LinearOf16();
  const RowSource rows = [&](int y, std::span<float> out) {
    const uint16_t* px = source.Row(y);
    for (int x = 0; x < source.width; ++x, px += 4) {
      const uint32_t a = px[3];
      for (size_t i = 0; i < 3; ++i) {
        const uint32_t mixed = (px[i] * a + back[i] * (65535 - a) + 32767) / 65535;
        out[static_cast<size_t>(x) * 3 + i] = linear[mixed];
      }
    }
  };
  const std::vector<float> placed =
      Resample(source.width, source.height, rows, place.source_x, place.source_y,
               place.source_width, place.source_height, place.width, place.height);

  std::vector<uint8_t> rgb(static_cast<size_t>(frame.height) * kBmpRowSize);
  for (size_t i = 0; i < rgb.size(); i += 3) {
    rgb[i] = Colour::To8(bg.red);
    rgb[i + 1] = Colour::To8(bg.green);
    rgb[i + 2] = Colour::To8(bg.blue);
  }
  for (int y = 0; y < place.height; ++y) {
    const float* in = placed.data() + static_cast<size_t>(y) * place.width * 3;
    uint8_t* out = rgb.data() + static_cast<size_t>(place.y + y) * kBmpRowSize +
                   static_cast<size_t>(place.x) * 3;
    for (int i = 0; i < place.width * 3; ++i)
      out[i] = LinearToSrgb8(in[i]);
  }
  return {GeneratorBmp(rgb, frame.height), frame, place, source.summary};
}

std::string DescribePlacement(const Placement& p, Fit fit) {
  return text::Placement(FitName(fit), Number(p.source_width) + "x" + Number(p.source_height),
                         fit == Fit::kCrop ? Number(p.source_x) + "," + Number(p.source_y) : "",
                         text::Area(p.x, p.width, p.y, p.height));
}

}  // namespace qvx::prep
