// A demo conveyor for the station window on the virtual generator, run by qvx5120-virtual.exe
// beside qvx5120-station.exe as scripts/conveyor runs beside the Linux demo: it keeps the rack
// file the virtual generator reads (QVX_VG_RACK), plugs a unit into a free socket every few
// seconds and pulls each one a while later, as an operator at a fixture would.
#pragma once

#include <atomic>
#include <string>
#include <thread>

namespace qvx::win32 {

class DemoConveyor {
 public:
  // Starts with an empty rack in `rack_path`.
  explicit DemoConveyor(std::wstring rack_path);
  // Stops and removes the rack file.
  ~DemoConveyor();
  DemoConveyor(const DemoConveyor&) = delete;
  DemoConveyor& operator=(const DemoConveyor&) = delete;

 private:
  void Run();
  void Write(const std::string& text) const;

  std::wstring rack_path_;
  std::atomic<bool> stop_{false};
  std::thread runner_;
};

}  // namespace qvx::win32
