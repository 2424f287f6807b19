// Picture reading with the Windows Imaging Component: its decoders (PNG, JPEG, GIF, TIFF, BMP of
// every version, ICO, and what else the system has), its format converters, and EXIF orientation
// applied here, since WIC hands over the pixels as stored.
#include <wincodec.h>
#include <windows.h>
#include <wrl/client.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "prep/orientation.h"
#include "prep/source_picture.h"
#include "prep/texts.h"

namespace qvx::prep {
namespace {

using Microsoft::WRL::ComPtr;

// The names Qt's readers give the same formats, so that summaries read alike.
struct Container {
  const GUID* format;
  const char* name;
};
const Container kContainers[] = {
    {&GUID_ContainerFormatPng, "PNG"},   {&GUID_ContainerFormatJpeg, "JPEG"},
    {&GUID_ContainerFormatBmp, "BMP"},   {&GUID_ContainerFormatGif, "GIF"},
    {&GUID_ContainerFormatTiff, "TIFF"}, {&GUID_ContainerFormatIco, "ICO"},
};

const GUID* const kSixteenBit[] = {
    &GUID_WICPixelFormat16bppGray,  &GUID_WICPixelFormat48bppRGB,   &GUID_WICPixelFormat48bppBGR,
    &GUID_WICPixelFormat64bppRGB,   &GUID_WICPixelFormat64bppRGBA,  &GUID_WICPixelFormat64bppBGRA,
    &GUID_WICPixelFormat64bppPRGBA, &GUID_WICPixelFormat64bppPBGRA,
};
const GUID* const kWithAlpha[] = {
    &GUID_WICPixelFormat32bppBGRA,  &GUID_WICPixelFormat32bppRGBA,  &GUID_WICPixelFormat32bppPBGRA,
    &GUID_WICPixelFormat32bppPRGBA, &GUID_WICPixelFormat64bppRGBA,  &GUID_WICPixelFormat64bppBGRA,
    &GUID_WICPixelFormat64bppPRGBA, &GUID_WICPixelFormat64bppPBGRA,
};
const GUID* const kIndexed[] = {
    &GUID_WICPixelFormat1bppIndexed,
    &GUID_WICPixelFormat2bppIndexed,
    &GUID_WICPixelFormat4bppIndexed,
    &GUID_WICPixelFormat8bppIndexed,
};

template <size_t N>
bool OneOf(const GUID& format, const GUID* const (&formats)[N]) {
  return std::any_of(std::begin(formats), std::end(formats),
                     [&](const GUID* f) { return IsEqualGUID(*f, format); });
}

std::wstring Wide(const std::string& text) {
  const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(std::max(n, 1)), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), n);
  wide.resize(wide.size() - 1);
  return wide;
}

bool IsSvg(const std::string& path) {
  std::string suffix = std::filesystem::path(path).extension().string();
  std::transform(suffix.begin(), suffix.end(), suffix.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return suffix == ".svg" || suffix == ".svgz";
}

// Why WIC could not read a file, in the words Qt's readers use for the same cases.
std::string Why(HRESULT result) {
  return result == WINCODEC_ERR_COMPONENTNOTFOUND || result == WINCODEC_ERR_UNKNOWNIMAGEFORMAT
             ? "Unsupported image format"
             : "Unable to read image data";
}

void Check(HRESULT result, const std::string& path) {
  if (FAILED(result))
    throw InputRefused(text::NotAPicture(path, Why(result)));
}

// The frame's pixels converted to `format` (4 channels of `T`), rows from the top.
template <typename T>
std::vector<T> Pixels(IWICImagingFactory& factory, IWICBitmapSource* frame, const GUID& format,
                      UINT width, UINT height, const std::string& path) {
  ComPtr<IWICFormatConverter> converter;
  Check(factory.CreateFormatConverter(&converter), path);
  Check(converter->Initialize(frame, format, WICBitmapDitherTypeNone, nullptr, 0.0,
                              WICBitmapPaletteTypeCustom),
        path);
  std::vector<T> pixels(size_t{width} * height * 4);
  const UINT stride = width * 4 * sizeof(T);
  Check(converter->CopyPixels(nullptr, stride, static_cast<UINT>(pixels.size() * sizeof(T)),
                              reinterpret_cast<BYTE*>(pixels.data())),
        path);
  return pixels;
}

// The frame's own pixels, `channels` samples of `T` a pixel, rows from the top.
template <typename T>
std::vector<T> Stored(IWICBitmapSource* frame, int channels, UINT width, UINT height,
                      const std::string& path) {
  std::vector<T> pixels(size_t{width} * height * static_cast<size_t>(channels));
  const UINT stride = width * static_cast<UINT>(channels) * sizeof(T);
  Check(frame->CopyPixels(nullptr, stride, static_cast<UINT>(pixels.size() * sizeof(T)),
                          reinterpret_cast<BYTE*>(pixels.data())),
        path);
  return pixels;
}

// 16-bit pictures in the formats the decoders hand over, widened here: Wine's converters take
// none of them.
std::optional<std::vector<uint16_t>> Deep(IWICBitmapSource* frame, const GUID& native, UINT width,
                                          UINT height, const std::string& path) {
  struct Layout {
    const GUID* format;
    int channels;
    std::array<int, 4> order;  // where red, green, blue and alpha stand; -1: opaque
  };
  static const Layout kLayouts[] = {
      {&GUID_WICPixelFormat64bppRGBA, 4, {0, 1, 2, 3}},
      {&GUID_WICPixelFormat64bppBGRA, 4, {2, 1, 0, 3}},
      {&GUID_WICPixelFormat64bppRGB, 4, {0, 1, 2, -1}},
      {&GUID_WICPixelFormat48bppRGB, 3, {0, 1, 2, -1}},
      {&GUID_WICPixelFormat48bppBGR, 3, {2, 1, 0, -1}},
      {&GUID_WICPixelFormat16bppGray, 1, {0, 0, 0, -1}},
  };
  for (const Layout& layout : kLayouts) {
    if (!IsEqualGUID(*layout.format, native))
      continue;
    const auto stored = Stored<uint16_t>(frame, layout.channels, width, height, path);
    std::vector<uint16_t> rgba(size_t{width} * height * 4);
    for (size_t i = 0, j = 0; i < rgba.size(); i += 4, j += static_cast<size_t>(layout.channels)) {
      for (size_t c = 0; c < 4; ++c)
        rgba[i + c] =
            layout.order[c] < 0 ? 0xFFFF : stored[j + static_cast<size_t>(layout.order[c])];
    }
    return rgba;
  }
  return std::nullopt;
}

// 16-bit BMP samples, widened as Qt's BMP reader widens them: each field times 256 over its
// range, so 5-bit white is 248.
std::optional<std::vector<uint16_t>> Packed(IWICBitmapSource* frame, const GUID& native, UINT width,
                                            UINT height, const std::string& path) {
  const bool r565 = IsEqualGUID(native, GUID_WICPixelFormat16bppBGR565);
  if (!r565 && !IsEqualGUID(native, GUID_WICPixelFormat16bppBGR555))
    return std::nullopt;
  const auto stored = Stored<uint16_t>(frame, 1, width, height, path);
  std::vector<uint16_t> rgba(stored.size() * 4);
  for (size_t i = 0; i < stored.size(); ++i) {
    const unsigned v = stored[i];
    const unsigned red = r565 ? (v >> 11) << 3 : ((v >> 10) & 31) << 3;
    const unsigned green = r565 ? ((v >> 5) & 63) << 2 : ((v >> 5) & 31) << 3;
    const unsigned blue = (v & 31) << 3;
    rgba[i * 4] = static_cast<uint16_t>(red * 257);
    rgba[i * 4 + 1] = static_cast<uint16_t>(green * 257);
    rgba[i * 4 + 2] = static_cast<uint16_t>(blue * 257);
    rgba[i * 4 + 3] = 0xFFFF;
  }
  return rgba;
}

// A BMP's bits per pixel from its header, for files whose decoder hands over an indexed picture
// as full colour (run-length coded ones); 0 for other files.
int BmpBits(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  unsigned char header[30] = {};
  file.read(reinterpret_cast<char*>(header), sizeof header);
  if (file.gcount() < 30 || header[0] != 'B' || header[1] != 'M')
    return 0;
  return header[28] | header[29] << 8;
}

std::string Dimensions(int width, int height) {
  return std::to_string(width) + "x" + std::to_string(height);
}

}  // namespace

SourcePicture ReadPicture(const std::string& path, const Frame&) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error))
    throw InputRefused(text::NoSuchFile(path));
  if (IsSvg(path))
    throw InputRefused(text::SvgUnreadable(path));

  ComPtr<IWICImagingFactory> factory;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(&factory))))
    throw PrepError(path + ": the Windows Imaging Component is not available");
  ComPtr<IWICBitmapDecoder> decoder;
  Check(factory->CreateDecoderFromFilename(Wide(path).c_str(), nullptr, GENERIC_READ,
                                           WICDecodeMetadataCacheOnDemand, &decoder),
        path);
  GUID container{};
  decoder->GetContainerFormat(&container);
  ComPtr<IWICBitmapFrameDecode> frame;
  Check(decoder->GetFrame(0, &frame), path);
  UINT width = 0, height = 0;
  Check(frame->GetSize(&width, &height), path);
  WICPixelFormatGUID native{};
  Check(frame->GetPixelFormat(&native), path);

  bool palette = OneOf(native, kIndexed);
  bool alpha = OneOf(native, kWithAlpha);
  if (palette) {
    ComPtr<IWICPalette> colours;
    BOOL has_alpha = FALSE;
    if (SUCCEEDED(factory->CreatePalette(&colours)) &&
        SUCCEEDED(frame->CopyPalette(colours.Get())) && SUCCEEDED(colours->HasAlpha(&has_alpha)))
      alpha = has_alpha != FALSE;
  }
  const bool sixteen = OneOf(native, kSixteenBit);

  const int bmp_bits = IsEqualGUID(container, GUID_ContainerFormatBmp) ? BmpBits(path) : 0;
  if (bmp_bits > 0 && bmp_bits <= 8)
    palette = true;

  SourcePicture picture{static_cast<int>(width), static_cast<int>(height), {}, {}};
  if (auto deep = Deep(frame.Get(), native, width, height, path)) {
    picture.rgba = std::move(*deep);
  } else if (auto packed = Packed(frame.Get(), native, width, height, path)) {
    picture.rgba = std::move(*packed);
  } else if (sixteen) {
    picture.rgba = Pixels<uint16_t>(*factory.Get(), frame.Get(), GUID_WICPixelFormat64bppRGBA,
                                    width, height, path);
  } else {
    // 8-bit samples widened exactly, as Qt widens them.
    const auto bytes = Pixels<uint8_t>(*factory.Get(), frame.Get(), GUID_WICPixelFormat32bppRGBA,
                                       width, height, path);
    picture.rgba.assign(bytes.begin(), bytes.end());
    for (uint16_t& v : picture.rgba)
      v = static_cast<uint16_t>(v * 257);
  }

  const int orientation = ExifOrientation(path);
  picture = Upright(picture, orientation);

  std::string format = "?";
  for (const Container& c : kContainers) {
    if (IsEqualGUID(*c.format, container))
      format = c.name;
  }
  picture.summary = format + " " + Dimensions(picture.width, picture.height);
  if (palette)
    picture.summary += text::kPalette;
  if (sixteen)
    picture.summary += text::k16Bit;
  if (alpha)
    picture.summary += text::kAlpha;
  if (orientation > 1)
    picture.summary += text::kTurnedUpright;
  return picture;
}

std::string ReadableFormats() {
  return "bmp gif ico jpeg jpg png tif tiff";
}

void StartImaging(const char*) {
  static const HRESULT started = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  (void)started;
}

}  // namespace qvx::prep
