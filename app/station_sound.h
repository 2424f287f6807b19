// The station's two sounds behind a seam: the window asks for the pass or the fail sound and a
// player makes it, so a test can hear which one was asked for. Qt Multimedia is not in the
// build; the player here rings the system bell.
#pragma once

#include "station_window/station_window_core.h"

namespace qvx {

class StationSoundPlayer {
 public:
  virtual ~StationSoundPlayer() = default;
  virtual void Play(station_window::Sound sound) = 0;
};

// The bell (QApplication::beep): once for a pass, twice for a fail, so the two differ by ear alone.
// A platform without a bell (offscreen) stays silent.
class BellSoundPlayer final : public StationSoundPlayer {
 public:
  void Play(station_window::Sound sound) override;
};

}  // namespace qvx
