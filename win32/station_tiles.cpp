// Painting a tile. The lines keep fixed places, so a tile does not jump about as its unit goes
// from loading to PASS; the verdict and its reason take what is left below them.
#include "win32/station_tiles.h"

#include <commctrl.h>

#include "win32/station_controls.h"
#include "win32/wide_text.h"

namespace qvx::win32 {
namespace {

using station_window::Verdict;

constexpr wchar_t kClassName[] = L"QvxStationTile";
constexpr COLORREF kPassColour = RGB(0, 128, 0);
constexpr COLORREF kFailColour = RGB(192, 0, 0);
constexpr COLORREF kVerdictText = RGB(255, 255, 255);
constexpr int kPadding = 8;  // at 96 DPI

}  // namespace

void StationTile::Register(HINSTANCE instance) {
  WNDCLASSEXW tile{};
  tile.cbSize = sizeof tile;
  tile.lpfnWndProc = Procedure;
  tile.hInstance = instance;
  tile.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  tile.lpszClassName = kClassName;
  RegisterClassExW(&tile);
}

StationTile::StationTile(HINSTANCE instance, HWND parent, int id, const TileFonts& fonts)
    : fonts_(fonts) {
  hwnd_ =
      CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 0, 0,
                      parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  progress_ =
      CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD, 0, 0, 0, 0, hwnd_,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(station_control::kTileProgress)),
                      instance, nullptr);
  SendMessageW(progress_, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
}

StationTile::~StationTile() {
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
  DestroyWindow(hwnd_);
}

void StationTile::Show(const station_window::TileView& view) {
  if (shown_ && view == view_)
    return;
  if (!shown_ || view.accessible_name != view_.accessible_name)
    SetWindowTextW(hwnd_, Widen(view.accessible_name).c_str());
  if (view.progress >= 0)
    SendMessageW(progress_, PBM_SETPOS, static_cast<WPARAM>(view.progress), 0);
  ShowWindow(progress_, view.progress >= 0 ? SW_SHOWNA : SW_HIDE);
  view_ = view;
  shown_ = true;
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void StationTile::Place(const RECT& area) {
  MoveWindow(hwnd_, area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
  Refresh();
}

void StationTile::Refresh() {
  const RECT bar = ProgressArea();
  MoveWindow(progress_, bar.left, bar.top, bar.right - bar.left, bar.bottom - bar.top, TRUE);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

RECT StationTile::ProgressArea() const {
  RECT client{};
  GetClientRect(hwnd_, &client);
  const int pad = fonts_.Scale(kPadding);
  const int top = pad + fonts_.heading_height + 3 * fonts_.text_height;
  return RECT{pad, top + fonts_.text_height / 4, client.right - pad,
              top + fonts_.text_height * 3 / 4 + fonts_.Scale(2)};
}

LRESULT CALLBACK StationTile::Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  const auto* tile = reinterpret_cast<const StationTile*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (tile != nullptr && message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    tile->Paint(dc);
    EndPaint(window, &paint);
    return 0;
  }
  if (tile != nullptr && message == WM_ERASEBKGND)
    return 1;  // Paint fills the whole tile
  return DefWindowProcW(window, message, wparam, lparam);
}

void StationTile::Paint(HDC dc) const {
  RECT client{};
  GetClientRect(hwnd_, &client);
  const bool judged = view_.verdict != Verdict::kNone;
  const COLORREF back = view_.verdict == Verdict::kPass   ? kPassColour
                        : view_.verdict == Verdict::kFail ? kFailColour
                                                          : GetSysColor(COLOR_WINDOW);
  HBRUSH brush = CreateSolidBrush(back);
  FillRect(dc, &client, brush);
  DeleteObject(brush);
  FrameRect(dc, &client, GetSysColorBrush(COLOR_WINDOWFRAME));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, judged ? kVerdictText : GetSysColor(COLOR_WINDOWTEXT));

  const int pad = fonts_.Scale(kPadding);
  RECT line{pad, pad, client.right - pad, pad};
  const auto write = [&](HFONT font, int height, const std::string& text) {
    line.bottom = line.top + height;
    SelectObject(dc, font);
    const std::wstring wide = Widen(text);
    DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &line,
              DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX | DT_VCENTER);
    line.top = line.bottom;
  };
  write(fonts_.heading, fonts_.heading_height, view_.heading);
  write(fonts_.text, fonts_.text_height, view_.serial);
  write(fonts_.text, fonts_.text_height, view_.label);
  write(fonts_.text, fonts_.text_height, view_.operation);
  line.top += fonts_.text_height;  // the progress bar's line
  write(fonts_.text, fonts_.text_height, view_.elapsed);

  if (judged) {
    RECT verdict{pad, line.top, client.right - pad, line.top + fonts_.verdict_height};
    SelectObject(dc, fonts_.verdict);
    const std::wstring word = Widen(view_.verdict_text);
    DrawTextW(dc, word.c_str(), static_cast<int>(word.size()), &verdict,
              DT_SINGLELINE | DT_CENTER | DT_NOPREFIX);
    RECT reason{pad, verdict.bottom, client.right - pad, client.bottom - pad};
    SelectObject(dc, fonts_.text);
    const std::wstring why = Widen(view_.reason);
    DrawTextW(dc, why.c_str(), static_cast<int>(why.size()), &reason,
              DT_CENTER | DT_WORDBREAK | DT_END_ELLIPSIS | DT_NOPREFIX);
  }
}

}  // namespace qvx::win32
