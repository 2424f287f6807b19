// What a socket's tile says: the view both station windows paint, made from the station's view of
// the socket.
#pragma once

#include <string>
#include <vector>

#include "station/socket.h"

namespace qvx::station_window {

enum class Verdict { kNone, kPass, kFail };

struct TileView {
  std::string port;
  std::string heading;    // "Socket 1-1.3"
  std::string serial;     // empty when no unit is plugged in
  std::string label;      // "Label A-1001", when one was scanned for the unit
  std::string operation;  // "2 of 5: banner 3 from logo.bmp", or what the socket holds
  int progress = -1;      // 0 to 100 while an operation runs; -1: no bar
  std::string elapsed;    // "0:12", from the start of the load
  Verdict verdict = Verdict::kNone;
  std::string verdict_text;     // "PASS", "FAIL" or empty
  std::string reason;           // why the load failed, in words
  std::string accessible_name;  // "Socket 1-1.3, QVX00002, pass"

  bool operator==(const TileView&) const = default;
};

// `operation_names`: each operation's description, in order.
TileView TileOf(const station::SocketView& socket, const std::vector<std::string>& operation_names);

}  // namespace qvx::station_window
