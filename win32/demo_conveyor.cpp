// The conveyor's loop: four sockets, a plug every four seconds into a free one, each unit pulled
// 45 seconds after its plug (a load of the demo set takes about half a minute), a socket left
// empty a second between two units so the station sees it free. Serial numbers come from a pool
// of twice as many as there are sockets, so a unit comes back now and then.
#include "win32/demo_conveyor.h"

#include <windows.h>

#include <array>
#include <chrono>
#include <cstdio>

namespace qvx::win32 {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kSockets = 4;
constexpr int kPool = 2 * kSockets;
constexpr auto kEvery = 4s;
constexpr auto kDwell = 45s;
constexpr auto kGap = 1s;
constexpr auto kLook = 100ms;

struct Socket {
  int unit = 0;  // 1 to kPool; 0: empty
  Clock::time_point since;
};

}  // namespace

DemoConveyor::DemoConveyor(std::wstring rack_path) : rack_path_(std::move(rack_path)) {
  Write("");
  runner_ = std::thread([this] { Run(); });
}

DemoConveyor::~DemoConveyor() {
  stop_ = true;
  runner_.join();
  DeleteFileW(rack_path_.c_str());
}

void DemoConveyor::Write(const std::string& text) const {
  // A new file renamed over the old: the generator never reads half of one.
  const std::wstring next = rack_path_ + L".next";
  HANDLE file = CreateFileW(next.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return;
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
  MoveFileExW(next.c_str(), rack_path_.c_str(), MOVEFILE_REPLACE_EXISTING);
}

void DemoConveyor::Run() {
  std::array<Socket, kSockets> sockets{};
  std::array<bool, kPool + 1> in_use{};
  const Clock::time_point begin = Clock::now();
  for (Socket& socket : sockets)
    socket.since = begin - kGap;
  Clock::time_point last_plug = begin - kEvery;
  int next = 0;
  while (!stop_) {
    const Clock::time_point now = Clock::now();
    bool changed = false;
    for (Socket& socket : sockets) {
      if (socket.unit != 0 && now - socket.since >= kDwell) {
        in_use[static_cast<size_t>(socket.unit)] = false;
        socket = Socket{0, now};
        changed = true;
      }
    }
    if (now - last_plug >= kEvery) {
      for (Socket& socket : sockets) {
        if (socket.unit != 0 || now - socket.since < kGap)
          continue;
        do
          next = next % kPool + 1;
        while (in_use[static_cast<size_t>(next)]);
        in_use[static_cast<size_t>(next)] = true;
        socket = Socket{next, now};
        last_plug = now;
        changed = true;
        break;
      }
    }
    if (changed) {
      std::string text;
      for (size_t i = 0; i < sockets.size(); ++i) {
        if (sockets[i].unit == 0)
          continue;
        char line[32];
        std::snprintf(line, sizeof line, "QVX%05d 1-1.%zu\n", sockets[i].unit, i + 1);
        text += line;
      }
      Write(text);
    }
    std::this_thread::sleep_for(kLook);
  }
}

}  // namespace qvx::win32
