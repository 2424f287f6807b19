// What must hold before a socket's load may begin: the station's records, kept by whoever runs
// the station. The station itself knows nothing of records; it asks the gate.
#pragma once

#include "station/socket.h"

namespace qvx::station {

class LoadGate {
 public:
  virtual ~LoadGate() = default;
  // At each look, before the listing: false starts no load at this look (units plugged in wait).
  virtual bool MayStart() = 0;
  // On the load's own thread, before anything is sent to the unit: true lets the load begin (what
  // must be written first is on disk); false leaves the unit waiting for a later look.
  virtual bool Admit(const SocketView& socket) = 0;
};

// The gate that never holds a load back.
class OpenGate final : public LoadGate {
 public:
  bool MayStart() override { return true; }
  bool Admit(const SocketView&) override { return true; }
};

}  // namespace qvx::station
