#include "app/station_sound.h"

#include <QApplication>
#include <QTimer>

namespace qvx {

namespace {
// Apart enough to be heard as two rings.
constexpr int kSecondRingMs = 250;
}  // namespace

void BellSoundPlayer::Play(station_window::Sound sound) {
  QApplication::beep();
  if (sound == station_window::Sound::kFail)
    QTimer::singleShot(kSecondRingMs, [] { QApplication::beep(); });
}

}  // namespace qvx
