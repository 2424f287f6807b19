// Text banners with GDI: the text drawn into a device-independent bitmap of the banner's samples,
// the world transform narrowing square units to the generator's sample width.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cwchar>

#include "prep/bmp_writer.h"
#include "prep/source_picture.h"
#include "prep/text_banner.h"
#include "prep/texts.h"

namespace qvx::prep {
namespace {

std::wstring Wide(const std::string& text, UINT code_page) {
  const int n = MultiByteToWideChar(code_page, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(std::max(n, 1)), L'\0');
  MultiByteToWideChar(code_page, 0, text.c_str(), -1, wide.data(), n);
  wide.resize(wide.size() - 1);
  return wide;
}

std::string Narrow(const wchar_t* text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<size_t>(std::max(n, 1)), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow.data(), n, nullptr, nullptr);
  narrow.resize(narrow.size() - 1);
  return narrow;
}

// The system's message font, as Qt takes the desktop's default font.
std::wstring DefaultFamily() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
    return metrics.lfMessageFont.lfFaceName;
  return L"Arial";
}

HFONT FontOf(const std::wstring& family, int pixel_size) {
  LOGFONTW font{};
  font.lfHeight = -pixel_size;  // the em height, as Qt's pixel size
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfQuality = ANTIALIASED_QUALITY;
  std::wcsncpy(font.lfFaceName, family.c_str(), LF_FACESIZE - 1);
  return CreateFontIndirectW(&font);
}

COLORREF Gdi(const Colour& c) {
  return RGB(Colour::To8(c.red), Colour::To8(c.green), Colour::To8(c.blue));
}

}  // namespace

TextBanner RenderTextBanner(const TextBannerOptions& options) {
  if (options.text.empty())
    throw InputRefused(text::kEmptyText);
  const Frame frame = BannerFrame(options.lines, options.aspect);
  const double par = frame.pixel_aspect.value();
  // The text is laid out in square units: the banner is 720 x par of them wide.
  const double width = frame.width * par;
  const std::wstring words = Wide(options.text, CP_ACP);
  const std::wstring family =
      options.font_family.empty() ? DefaultFamily() : Wide(options.font_family, CP_ACP);

  const HDC dc = CreateCompatibleDC(nullptr);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = frame.width;
  info.bmiHeader.biHeight = -frame.height;  // rows from the top
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (dc == nullptr || bitmap == nullptr)
    throw PrepError("--text: GDI cannot make the banner's bitmap");
  const HGDIOBJ old_bitmap = SelectObject(dc, bitmap);
  auto* pixels = static_cast<uint8_t*>(bits);
  const uint32_t back = 0xFF000000u | uint32_t{Colour::To8(options.background.red)} << 16 |
                        uint32_t{Colour::To8(options.background.green)} << 8 |
                        Colour::To8(options.background.blue);
  std::fill_n(static_cast<uint32_t*>(bits), static_cast<size_t>(frame.width) * frame.height, back);

  SetGraphicsMode(dc, GM_ADVANCED);
  const XFORM narrow{static_cast<FLOAT>(1 / par), 0, 0, 1, 0, 0};
  SetWorldTransform(dc, &narrow);
  int pixel_size = std::max(1, static_cast<int>(frame.height * 0.6));
  HFONT font = FontOf(family, pixel_size);
  HGDIOBJ old_font = SelectObject(dc, font);
  SIZE natural{};
  GetTextExtentPoint32W(dc, words.c_str(), static_cast<int>(words.size()), &natural);
  if (natural.cx > width * 0.9) {
    pixel_size = std::max(1, static_cast<int>(std::floor(pixel_size * width * 0.9 / natural.cx)));
    SelectObject(dc, old_font);
    DeleteObject(font);
    font = FontOf(family, pixel_size);
    old_font = SelectObject(dc, font);
  }
  SetTextColor(dc, Gdi(options.foreground));
  SetBkMode(dc, TRANSPARENT);
  RECT area{0, 0, static_cast<LONG>(std::lround(width)), frame.height};
  RECT box = area;
  DrawTextW(dc, words.c_str(), -1, &box, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  const LONG box_width = box.right - box.left, box_height = box.bottom - box.top;
  box.left = (area.right - box_width) / 2;
  box.right = box.left + box_width;
  box.top = (area.bottom - box_height) / 2;
  box.bottom = box.top + box_height;
  DrawTextW(dc, words.c_str(), -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  GdiFlush();
  wchar_t face[LF_FACESIZE] = {};
  GetTextFaceW(dc, LF_FACESIZE, face);

  std::vector<uint8_t> rgb(static_cast<size_t>(frame.height) * kBmpRowSize);
  for (size_t i = 0, j = 0; i < rgb.size(); i += 3, j += 4) {
    rgb[i] = pixels[j + 2];
    rgb[i + 1] = pixels[j + 1];
    rgb[i + 2] = pixels[j];
  }
  SelectObject(dc, old_font);
  DeleteObject(font);
  SelectObject(dc, old_bitmap);
  DeleteObject(bitmap);
  DeleteDC(dc);

  const int x0 = std::clamp(static_cast<int>(std::floor(box.left / par)), 0, frame.width - 1);
  const int x1 = std::clamp(static_cast<int>(std::ceil(box.right / par)), x0 + 1, frame.width);
  const int y0 = std::clamp(static_cast<int>(box.top), 0, frame.height - 1);
  const int y1 = std::clamp(static_cast<int>(box.bottom), y0 + 1, frame.height);
  const Placement place{x0,
                        y0,
                        x1 - x0,
                        y1 - y0,
                        0,
                        0,
                        static_cast<double>(box_width),
                        static_cast<double>(box_height)};
  return {{GeneratorBmp(rgb, frame.height), frame, place, "text \"" + options.text + "\""},
          text::FontUsed(Narrow(face), pixel_size)};
}

}  // namespace qvx::prep
