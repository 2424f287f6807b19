// A slot of the generator as the user names it, and where it lives in flash. The window's lists,
// the command line, the flash viewer, the soak and the fuzzers all go through this one mapping:
//   pictures: list rows 0..1, shown and typed as 1..2;
//   banners: list rows 0..7, shown and typed as 1..8; the countdown is banner 9;
//   test patterns: list rows 0..15, shown and typed as 0..15;
//   the audio loop: one slot.
#pragma once

#include <optional>
#include <string_view>

#include "device/flash_map.h"

namespace qvx {

enum class SlotKind { kPicture, kBanner, kCountdown, kPattern, kAudio };

class Slot {
 public:
  // The slot a list row selects; the countdown and the audio loop have no list and take row 0.
  static Slot FromRow(SlotKind kind, int row) { return Slot(kind, row); }
  // The slot shown or typed as `number`; nothing when the kind has no such slot.
  static std::optional<Slot> FromNumber(SlotKind kind, int number);
  static Slot Countdown() { return Slot(SlotKind::kCountdown, 0); }
  static Slot Audio() { return Slot(SlotKind::kAudio, 0); }

  // The numbers a kind's slots are shown with: picture 1..2, banner 1..8, countdown 9..9,
  // pattern 0..15, audio 0..0.
  static int FirstNumber(SlotKind kind);
  static int LastNumber(SlotKind kind);
  // "picture", "banner", "countdown", "pattern", "audio": the names the command line uses.
  static std::string_view Name(SlotKind kind);

  SlotKind kind() const { return kind_; }
  int row() const { return row_; }
  // The number titles and messages show.
  int number() const;
  // Where the slot lives in flash.
  FlashSlot flash() const;

  bool operator==(const Slot&) const = default;

 private:
  Slot(SlotKind kind, int row) : kind_(kind), row_(row) {}

  SlotKind kind_;
  int row_;
};

}  // namespace qvx
