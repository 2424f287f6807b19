// What the station tells its front end as it happens. Calls come from the station's threads, one
// at a time, so an implementation needs no lock of its own; each should return quickly.
#pragma once

#include "station/operation.h"
#include "station/socket.h"

namespace qvx::station {

class StationEvents {
 public:
  virtual ~StationEvents() = default;
  // A unit appeared in a socket.
  virtual void Plugged(const SocketView&) {}
  // A load is about to begin: nothing has been sent to the unit yet.
  virtual void LoadStarting(const SocketView&) {}
  virtual void AttemptEnded(const SocketView&, const AttemptReport&) {}
  // The load ended; operations from `view.operation` on (all after it when it passed) were not
  // completed.
  virtual void LoadEnded(const SocketView&) {}
  // The unit was pulled and the socket is free.
  virtual void Emptied(const SocketView&) {}
};

}  // namespace qvx::station
