// The station window's tiles: one child window per socket that paints its TileView (heading,
// serial, label, operation, elapsed, and PASS on green or FAIL on red with the reason) around a
// progress bar of its own. Its window text is the tile's accessible name, which screen readers
// and the window driver read.
#pragma once

#include <windows.h>

#include "station_window/tile.h"

namespace qvx::win32 {

// The fonts the tiles paint with, made for one DPI by the station window, which owns them.
struct TileFonts {
  int dpi = 96;
  HFONT text = nullptr;
  HFONT heading = nullptr;
  HFONT verdict = nullptr;
  int text_height = 0;
  int heading_height = 0;
  int verdict_height = 0;

  int Scale(int pixels_at_96) const { return MulDiv(pixels_at_96, dpi, 96); }
};

class StationTile {
 public:
  static void Register(HINSTANCE instance);

  StationTile(HINSTANCE instance, HWND parent, int id, const TileFonts& fonts);
  ~StationTile();
  StationTile(const StationTile&) = delete;
  StationTile& operator=(const StationTile&) = delete;

  // Repaints only when the view differs from the one shown.
  void Show(const station_window::TileView& view);
  void Place(const RECT& area);
  // After the fonts changed (a new DPI).
  void Refresh();

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  void Paint(HDC dc) const;
  // The progress bar's place: its own line under the operation.
  RECT ProgressArea() const;

  const TileFonts& fonts_;
  HWND hwnd_ = nullptr;
  HWND progress_ = nullptr;
  station_window::TileView view_;
  bool shown_ = false;
};

}  // namespace qvx::win32
