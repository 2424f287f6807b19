// The station window on the plain Win32 API: a thin shell over StationWindowCore. It paints the
// core's BoardView from a timer (only what changed), forwards Start, Stop, Open and the scan field
// to the core, plays the sounds it asks for and closes when the core says so.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "device/library_loader.h"
#include "station_window/station_window_core.h"
#include "win32/icon_handle.h"
#include "win32/station_tiles.h"

namespace qvx::win32 {

class StationWindow {
 public:
  StationWindow(HINSTANCE instance, LibraryLoader& library,
                station_window::StationWindowOptions options);
  ~StationWindow();
  StationWindow(const StationWindow&) = delete;
  StationWindow& operator=(const StationWindow&) = delete;

  // Shows the window, opens the set of the command line (and starts on it), and returns when the
  // window has closed.
  void Run();

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
  void CreateControls();
  void MakeFonts(int dpi);
  void FreeFonts();
  void Layout();
  // The core's view painted, its sounds played, its boxes shown, its close carried out.
  void Tick();
  void Show(const station_window::BoardView& view);
  void Command(int id);
  void ScanTyped();
  void OpenChosen();
  void Box(const std::string& text);
  // Pumps the queue while the file dialog runs on its own thread.
  void Serve();
  HWND Control(int id) const { return GetDlgItem(hwnd_, id); }
  void SetControlText(int id, const std::string& text);
  void Enable(int id, bool enabled);

  HINSTANCE instance_;
  station_window::StationWindowCore core_;
  HWND hwnd_ = nullptr;
  HWND focus_ = nullptr;  // kept while the window is inactive
  IconHandle big_icon_;
  IconHandle small_icon_;
  HFONT ui_font_ = nullptr;
  TileFonts tile_fonts_;
  std::vector<std::unique_ptr<StationTile>> tiles_;
  station_window::BoardView shown_;
  bool painted_ = false;
  int boxes_up_ = 0;
};

}  // namespace qvx::win32
