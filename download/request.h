// What the user chose for one download, taken in full before it starts: the window builds it from
// its lists and edits at the click, the command line from its arguments, the tests directly. The
// file is not part of it: every download erases its slot first and only then asks for the file.
#pragma once

#include <array>
#include <string>
#include <utility>

#include "download/kinds/slot.h"
#include "encode/tone_synthesis.h"

namespace qvx {

// The audio loop's four channels: a row of the frequency list and the amplitude text each.
struct AudioSettings {
  std::array<int, kAudioChannels> tone_rows{};
  std::array<std::string, kAudioChannels> amplitudes{};

  bool operator==(const AudioSettings&) const = default;
};

struct DownloadRequest {
  Slot slot;
  AudioSettings audio;  // the audio loop only

  static DownloadRequest Picture(int row) { return {Slot::FromRow(SlotKind::kPicture, row), {}}; }
  static DownloadRequest Banner(int row) { return {Slot::FromRow(SlotKind::kBanner, row), {}}; }
  static DownloadRequest Countdown() { return {Slot::Countdown(), {}}; }
  static DownloadRequest Pattern(int row) { return {Slot::FromRow(SlotKind::kPattern, row), {}}; }
  static DownloadRequest Audio(AudioSettings settings) {
    return {Slot::Audio(), std::move(settings)};
  }

  bool operator==(const DownloadRequest&) const = default;
};

}  // namespace qvx
