// The window a unit's load reports through: a station socket's quiet stand-in, or the loader's
// terminal. Besides what every window shows, it learns which operation runs (its file is what the
// file dialog gives), keeps the last box as the reason should the operation not complete, and can
// hold back what it shows while a just-plugged unit's opens are tried again.
#pragma once

#include <string>

#include "port/window_port.h"
#include "station/operation.h"

namespace qvx::station {

class UnitWindow : public WindowPort {
 public:
  // Operation `index` of `count` begins its `attempt` (from 1); forgets the last box.
  virtual void BeginOperation(size_t index, size_t count, const Operation& operation,
                              int attempt) = 0;
  // The last box shown since the operation began; empty when none was.
  virtual const std::string& last_message() const = 0;
  // From now on nothing is shown (titles, boxes, progress) but kept; the last box is still noted.
  virtual void HoldBack() = 0;
  // Ends a hold: what was kept is shown now, in order, or dropped.
  enum class Held { kShow, kDrop };
  virtual void Release(Held what) = 0;
};

}  // namespace qvx::station
