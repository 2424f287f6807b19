// The station window's procedure and its painting from the core's view. The window is an ordinary
// top-level window with controls; IsDialogMessage in the loop gives it a dialog's keyboard: Tab
// and Shift+Tab, the mnemonics, and Return as IDOK, which hands the scan field's text to the core.
#include "win32/station_window.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <iostream>

#include "station_line/line_services.h"
#include "station_window/texts.h"
#include "win32/file_dialog.h"
#include "win32/station_controls.h"
#include "win32/wide_text.h"
#include "win32/window_placement.h"
#include "window/icons.h"
#include "window/templates.h"

namespace qvx::win32 {
namespace {

namespace id = station_control;
namespace text = station_window::text;

constexpr wchar_t kClassName[] = L"QvxStationWindow";
constexpr UINT_PTR kTimer = 1;
constexpr UINT kTickMilliseconds = 100;
// WM_DPICHANGED, named here: the headers give it only for newer Windows versions.
constexpr UINT kDpiChanged = 0x02E0;

// Sizes at 96 DPI.
constexpr int kMargin = 8;
constexpr int kRowHeight = 24;
constexpr int kButtonWidth = 96;
constexpr int kScanLabelWidth = 48;
constexpr int kWindowWidth = 960;
constexpr int kWindowHeight = 640;

// Font heights in points.
constexpr int kUiPoints = 10;
constexpr int kHeadingPoints = 13;
constexpr int kVerdictPoints = 36;

HFONT MakeFont(int points, int dpi, bool bold) {
  return CreateFontW(-MulDiv(points, dpi, 72), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE,
                     FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                     CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Segoe UI");
}

int LineHeight(HFONT font) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return metrics.tmHeight + metrics.tmExternalLeading;
}

int ScreenDpi() {
  HDC dc = GetDC(nullptr);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  return dpi > 0 ? dpi : 96;
}

// The pattern of a filter written as Qt takes it, "Content sets (*.toml)": what the brackets hold.
std::string_view PatternOf(std::string_view filter) {
  const size_t open = filter.find('(');
  const size_t close = filter.rfind(')');
  if (open == std::string_view::npos || close == std::string_view::npos || close < open)
    return "*.*";
  return filter.substr(open + 1, close - open - 1);
}

}  // namespace

StationWindow::StationWindow(HINSTANCE instance, LibraryLoader& library,
                             station_window::StationWindowOptions options)
    : instance_(instance),
      core_(library, std::move(options), {}, &std::cerr, station_line::Services()) {}

StationWindow::~StationWindow() {
  tiles_.clear();
  FreeFonts();
}

void StationWindow::Run() {
  WNDCLASSEXW window{};
  window.cbSize = sizeof window;
  window.lpfnWndProc = Procedure;
  window.hInstance = instance_;
  window.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  window.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  window.lpszClassName = kClassName;
  RegisterClassExW(&window);
  StationTile::Register(instance_);

  const int dpi = ScreenDpi();
  MakeFonts(dpi);
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int width =
      std::min(MulDiv(kWindowWidth, dpi, 96), static_cast<int>(work.right - work.left));
  const int height =
      std::min(MulDiv(kWindowHeight, dpi, 96), static_cast<int>(work.bottom - work.top));
  CreateWindowExW(WS_EX_CONTROLPARENT, kClassName, Widen(text::kApplicationName).c_str(),
                  WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT, width,
                  height, nullptr, nullptr, instance_, this);
  if (hwnd_ == nullptr)
    return;
  CentreWindow(hwnd_, nullptr);
  ShowWindow(hwnd_, SW_SHOW);
  SetFocus(Control(id::kScan));

  // The set of the command line, and a start on it when it opened.
  if (const auto refusal = core_.StartUp())
    Box(*refusal);
  Tick();
  SetTimer(hwnd_, kTimer, kTickMilliseconds, nullptr);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (hwnd_ != nullptr && IsDialogMessageW(hwnd_, &message))
      continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

LRESULT CALLBACK StationWindow::Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* self =
        static_cast<StationWindow*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->hwnd_ = window;
  }
  auto* self = reinterpret_cast<StationWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr)
    return DefWindowProcW(window, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    // The window's last message: from here on there is no window to paint or to close.
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    return DefWindowProcW(window, message, wparam, lparam);
  }
  return self->Handle(message, wparam, lparam);
}

LRESULT StationWindow::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      CreateControls();
      return 0;
    case WM_SIZE:
      Layout();
      return 0;
    case WM_GETMINMAXINFO: {
      auto* limits = reinterpret_cast<MINMAXINFO*>(lparam);
      limits->ptMinTrackSize = {tile_fonts_.Scale(480), tile_fonts_.Scale(320)};
      return 0;
    }
    case kDpiChanged: {
      MakeFonts(HIWORD(wparam));
      const auto* suggested = reinterpret_cast<const RECT*>(lparam);
      SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top,
                   suggested->right - suggested->left, suggested->bottom - suggested->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      Layout();
      return 0;
    }
    case WM_ACTIVATE:
      // A window that is not a dialog keeps its focused control itself.
      if (LOWORD(wparam) == WA_INACTIVE)
        focus_ = GetFocus();
      else
        SetFocus(focus_ != nullptr && IsChild(hwnd_, focus_) ? focus_ : Control(id::kScan));
      return 0;
    case WM_TIMER:
      if (wparam == kTimer)
        Tick();
      return 0;
    case WM_COMMAND:
      Command(LOWORD(wparam));
      return 0;
    case WM_CLOSE:
      if (core_.RequestClose())
        DestroyWindow(hwnd_);
      else
        Tick();
      return 0;
    case WM_DESTROY:
      KillTimer(hwnd_, kTimer);
      tiles_.clear();
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd_, message, wparam, lparam);
  }
}

void StationWindow::CreateControls() {
  const auto make = [&](const wchar_t* kind, const std::string& caption, DWORD style, int control) {
    HWND made =
        CreateWindowExW(kind == std::wstring_view(L"EDIT") ? WS_EX_CLIENTEDGE : 0, kind,
                        Widen(caption).c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, hwnd_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(control)), instance_, nullptr);
    SendMessageW(made, WM_SETFONT, reinterpret_cast<WPARAM>(ui_font_), FALSE);
  };
  // Tab order is creation order: the scan field first, then the buttons.
  make(L"STATIC", text::kScanLabel, SS_RIGHT | SS_CENTERIMAGE, id::kScanLabel);
  make(L"EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL, id::kScan);
  SendMessageW(Control(id::kScan), EM_SETCUEBANNER, TRUE,
               reinterpret_cast<LPARAM>(Widen(text::kScanName).c_str()));
  make(L"BUTTON", text::kStart, WS_TABSTOP | BS_PUSHBUTTON, id::kStart);
  make(L"BUTTON", text::kStop, WS_TABSTOP | BS_PUSHBUTTON, id::kStop);
  if (!core_.options().lock)
    make(L"BUTTON", text::kOpen, WS_TABSTOP | BS_PUSHBUTTON, id::kOpen);
  for (int bar : {id::kTotals, id::kSet, id::kOperator, id::kWorkOrder, id::kStatus})
    make(L"STATIC", "", SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_CENTERIMAGE, bar);

  big_icon_ = IconHandle(resources::kApplicationIconId, resources::kIconSizes[0]);
  small_icon_ = IconHandle(resources::kApplicationIconId, resources::kIconSizes[1]);
  SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big_icon_.get()));
  SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small_icon_.get()));
}

void StationWindow::MakeFonts(int dpi) {
  const HFONT old_ui = ui_font_;
  const TileFonts old_tiles = tile_fonts_;
  ui_font_ = MakeFont(kUiPoints, dpi, false);
  tile_fonts_.dpi = dpi;
  tile_fonts_.text = MakeFont(kUiPoints, dpi, false);
  tile_fonts_.heading = MakeFont(kHeadingPoints, dpi, true);
  tile_fonts_.verdict = MakeFont(kVerdictPoints, dpi, true);
  tile_fonts_.text_height = LineHeight(tile_fonts_.text);
  tile_fonts_.heading_height = LineHeight(tile_fonts_.heading);
  tile_fonts_.verdict_height = LineHeight(tile_fonts_.verdict);
  if (hwnd_ != nullptr) {
    for (HWND child = GetWindow(hwnd_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
      SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(ui_font_), TRUE);
  }
  for (const HFONT font : {old_ui, old_tiles.text, old_tiles.heading, old_tiles.verdict}) {
    if (font != nullptr)
      DeleteObject(font);
  }
}

void StationWindow::FreeFonts() {
  for (const HFONT font : {ui_font_, tile_fonts_.text, tile_fonts_.heading, tile_fonts_.verdict}) {
    if (font != nullptr)
      DeleteObject(font);
  }
  ui_font_ = nullptr;
  tile_fonts_ = {};
}

void StationWindow::Layout() {
  if (hwnd_ == nullptr)
    return;
  RECT client{};
  GetClientRect(hwnd_, &client);
  const auto s = [&](int pixels) { return tile_fonts_.Scale(pixels); };
  const int margin = s(kMargin);
  const int row = std::max(s(kRowHeight), tile_fonts_.text_height + s(6));
  const int width = client.right - 2 * margin;
  const auto place = [&](int control, int x, int y, int w, int h) {
    if (HWND window = Control(control))
      MoveWindow(window, x, y, std::max(w, 0), h, TRUE);
  };

  // From the bottom up: the scan field and the buttons, the status, the bar.
  int y = client.bottom - margin - row;
  const int buttons = core_.options().lock ? 2 : 3;
  const int button_width = std::max(s(kButtonWidth), row * 3);
  int x = client.right - margin - buttons * (button_width + margin) + margin;
  const int scan_label = s(kScanLabelWidth);
  place(id::kScanLabel, margin, y, scan_label, row);
  place(id::kScan, margin + scan_label + margin, y, x - 2 * margin - scan_label - margin, row);
  for (int button : {id::kStart, id::kStop, id::kOpen}) {
    if (button == id::kOpen && core_.options().lock)
      break;
    place(button, x, y, button_width, row);
    x += button_width + margin;
  }
  y -= row + margin / 2;
  place(id::kStatus, margin, y, width, row);
  y -= row;
  // The totals and the set's name and digest take the most room, the two names the rest.
  const int fifth = width / 5;
  place(id::kTotals, margin, y, fifth * 2 - margin, row);
  place(id::kSet, margin + fifth * 2, y, fifth * 3 / 2 - margin, row);
  place(id::kOperator, margin + fifth * 7 / 2, y, fifth * 3 / 4 - margin, row);
  place(id::kWorkOrder, margin + fifth * 17 / 4, y, width - fifth * 17 / 4, row);

  // The tiles above, in a grid as near square as their number allows.
  const int count = static_cast<int>(tiles_.size());
  if (count == 0)
    return;
  const int columns = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(count))));
  const int rows = (count + columns - 1) / columns;
  const int area_height = y - 2 * margin;
  const int tile_width = (width - (columns - 1) * margin) / columns;
  const int tile_height = (area_height - (rows - 1) * margin) / rows;
  for (int i = 0; i < count; ++i) {
    const int left = margin + (i % columns) * (tile_width + margin);
    const int top = margin + (i / columns) * (tile_height + margin);
    tiles_[static_cast<size_t>(i)]->Place(RECT{left, top, left + tile_width, top + tile_height});
  }
}

void StationWindow::Tick() {
  if (hwnd_ == nullptr)
    return;
  Show(core_.View());
  for (const station_window::Sound sound : core_.TakeSounds())
    MessageBeep(sound == station_window::Sound::kPass ? MB_OK : MB_ICONHAND);
  const auto due = core_.Tick(boxes_up_ > 0);
  if (due.box)
    Box(*due.box);
  if (hwnd_ != nullptr && due.close)
    DestroyWindow(hwnd_);
}

void StationWindow::Show(const station_window::BoardView& view) {
  const bool all = !painted_;
  if (all || view.title != shown_.title)
    SetWindowTextW(hwnd_, Widen(view.title).c_str());
  const std::pair<int, const std::string*> bar[] = {{id::kTotals, &view.totals},
                                                    {id::kSet, &view.set},
                                                    {id::kOperator, &view.operator_name},
                                                    {id::kWorkOrder, &view.work_order},
                                                    {id::kStatus, &view.status}};
  for (const auto& [control, value] : bar)
    SetControlText(control, *value);

  if (view.tiles.size() != tiles_.size()) {
    while (tiles_.size() > view.tiles.size())
      tiles_.pop_back();
    while (tiles_.size() < view.tiles.size()) {
      const int tile_id = id::kFirstTile + static_cast<int>(tiles_.size());
      tiles_.push_back(std::make_unique<StationTile>(instance_, hwnd_, tile_id, tile_fonts_));
    }
    Layout();
  }
  for (size_t i = 0; i < view.tiles.size(); ++i)
    tiles_[i]->Show(view.tiles[i]);

  Enable(id::kStart, view.can_start);
  Enable(id::kStop, view.can_stop);
  Enable(id::kOpen, view.can_open);
  shown_ = view;
  painted_ = true;
}

void StationWindow::SetControlText(int control, const std::string& value) {
  HWND window = Control(control);
  if (window == nullptr)
    return;
  const std::wstring wide = Widen(value);
  wchar_t current[512] = {};
  GetWindowTextW(window, current, 512);
  if (wide != current)
    SetWindowTextW(window, wide.c_str());
}

void StationWindow::Enable(int control, bool enabled) {
  HWND window = Control(control);
  if (window == nullptr || (IsWindowEnabled(window) != FALSE) == enabled)
    return;
  // A control switched off keeps no focus: the keyboard would go nowhere.
  if (!enabled && GetFocus() == window)
    SetFocus(Control(id::kScan));
  EnableWindow(window, enabled);
}

void StationWindow::Command(int control) {
  switch (control) {
    case IDOK: {
      // Return: the scan field's text, or the focused button's click.
      HWND focus = GetFocus();
      if (focus == Control(id::kScan))
        ScanTyped();
      else if (focus != nullptr && IsChild(hwnd_, focus))
        SendMessageW(focus, BM_CLICK, 0, 0);
      return;
    }
    case id::kStart:
      if (const auto refused = core_.Start())
        Box(*refused);
      Tick();
      return;
    case id::kStop:
      core_.Stop();
      Tick();
      return;
    case id::kOpen:
      OpenChosen();
      return;
    default:
      return;  // IDCANCEL (Escape) closes nothing: a station is closed on purpose only
  }
}

void StationWindow::ScanTyped() {
  HWND scan = Control(id::kScan);
  const int length = GetWindowTextLengthW(scan);
  std::wstring typed(static_cast<size_t>(length) + 1, L'\0');
  typed.resize(static_cast<size_t>(GetWindowTextW(scan, typed.data(), length + 1)));
  std::string label(static_cast<size_t>(typed.size()) * 3, '\0');
  label.resize(static_cast<size_t>(std::max(
      0, WideCharToMultiByte(CP_UTF8, 0, typed.data(), static_cast<int>(typed.size()), label.data(),
                             static_cast<int>(label.size()), nullptr, nullptr))));
  SetWindowTextW(scan, L"");
  core_.Scan(label);
  Tick();
}

void StationWindow::OpenChosen() {
  const FileFilter filter{text::kSetFilter, PatternOf(text::kSetFilter)};
  const auto path = ChooseFileToOpen(hwnd_, filter, [this] { Serve(); });
  if (!path || hwnd_ == nullptr)
    return;
  if (const auto refused = core_.OpenSet(*path))
    Box(*refused);
  Tick();
}

void StationWindow::Serve() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    if (hwnd_ != nullptr && IsDialogMessageW(hwnd_, &message))
      continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void StationWindow::Box(const std::string& message) {
  ++boxes_up_;
  MessageBoxW(hwnd_, Widen(message).c_str(), Widen(text::kBoxCaption).c_str(),
              MB_OK | MB_ICONWARNING);
  --boxes_up_;
}

}  // namespace qvx::win32
