// The kinds of content slot and a slot as the user names it. The table of kinds is the one place
// that says, per kind, the word the command line and content sets use, how its slots are numbered,
// what its download shows and asks for, and where each slot lives in flash; `Slot`, the window's
// lists, the command line, content sets, the flash viewer, the soak and the fuzzers all read it:
//   pictures: list rows 0..1, shown and typed as 1..2;
//   banners: list rows 0..7, shown and typed as 1..8; the countdown is banner 9;
//   test patterns: list rows 0..15, shown and typed as 0..15;
//   the audio loop: one slot.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string_view>

#include "device/flash_map.h"
#include "download/kinds/kind_module.h"
#include "download/texts.h"

namespace qvx {

enum class SlotKind { kPicture, kBanner, kCountdown, kPattern, kAudio };

// What a download is made from: a file the user chooses, or the four channels' tones and levels.
enum class SlotSource { kFile, kTones };

struct SlotKindInfo {
  SlotKind kind;
  // The command line's, the content sets' and the records' word for it.
  std::string_view word;
  // The flash viewer's command for it; the countdown is banner 9 there.
  std::string_view viewer_word;
  // The content set's table of files and its list under [erase]; empty where the kind has none of
  // its own (the countdown is `countdown` under [banners] and [erase]; the audio loop is [audio]).
  std::string_view set_key;
  // The number list row 0 is shown and typed as, and how many slots there are (`count`).
  int first_number;
  int count;
  const OperationTexts& texts;
  // The file dialog's filter and what the command line asks for; nullptr and empty for the audio
  // loop, which reads no file.
  const FileFilter* filter;
  std::string_view file_noun;
  SlotSource source;
  // Where the slot on list row `row` lives in flash.
  FlashSlot (*flash)(int row);
  // What the kind does for itself.
  const KindModule& module;

  int last_number() const { return first_number + count - 1; }
};

inline constexpr std::array<SlotKindInfo, 5> kSlotKinds{{
    {SlotKind::kPicture, "picture", "picture", "pictures", 1, kPictureSlots, kPictureTexts,
     &kBitmapFilter, "BMP file", SlotSource::kFile, [](int row) { return PictureSlot(row); },
     kPictureModule},
    {SlotKind::kBanner, "banner", "banner", "banners", 1, kBannerSlots, kBannerTexts,
     &kBitmapFilter, "BMP file", SlotSource::kFile, [](int row) { return BannerSlot(row + 1); },
     kBannerModule},
    {SlotKind::kCountdown, "countdown", "banner", "", kCountdownBanner, 1, kBannerTexts,
     &kBitmapFilter, "BMP file", SlotSource::kFile,
     [](int) { return BannerSlot(kCountdownBanner); }, kBannerModule},
    {SlotKind::kPattern, "pattern", "pattern", "patterns", 0, kPatternSlots, kPatternTexts,
     &kPatternFilter, ".tst file", SlotSource::kFile, [](int row) { return PatternSlot(row); },
     kPatternModule},
    {SlotKind::kAudio, "audio", "audio", "", 0, 1, kAudioTexts, nullptr, "", SlotSource::kTones,
     [](int) { return AudioSlot(); }, kAudioModule},
}};

// The row of `kind`.
constexpr const SlotKindInfo& InfoOf(SlotKind kind) {
  for (const SlotKindInfo& info : kSlotKinds) {
    if (info.kind == kind)
      return info;
  }
  return kSlotKinds.back();  // unreachable: every kind has its row
}
// The kind the command line's `word` names, or nothing.
std::optional<SlotKind> KindNamed(std::string_view word);

class Slot {
 public:
  // The slot a list row selects; the countdown and the audio loop have no list and take row 0.
  static Slot FromRow(SlotKind kind, int row) { return Slot(kind, row); }
  // The slot shown or typed as `number`; nothing when the kind has no such slot.
  static std::optional<Slot> FromNumber(SlotKind kind, int number);
  // The slot typed as `text`: the whole text a decimal number of the kind's slots, or nothing.
  static std::optional<Slot> Parse(SlotKind kind, std::string_view text);
  // The slot a key of a content set's table of files names: a number of the table's kind, and
  // under [banners] the countdown by its word.
  static std::optional<Slot> InSetTable(SlotKind table, std::string_view key);
  static Slot Countdown() { return Slot(SlotKind::kCountdown, 0); }
  static Slot Audio() { return Slot(SlotKind::kAudio, 0); }

  // The numbers a kind's slots are shown with: picture 1..2, banner 1..8, countdown 9..9,
  // pattern 0..15, audio 0..0.
  static int FirstNumber(SlotKind kind) { return InfoOf(kind).first_number; }
  static int LastNumber(SlotKind kind) { return InfoOf(kind).last_number(); }
  // "picture", "banner", "countdown", "pattern", "audio": the names the command line uses.
  static std::string_view Name(SlotKind kind) { return InfoOf(kind).word; }

  SlotKind kind() const { return kind_; }
  int row() const { return row_; }
  const SlotKindInfo& info() const { return InfoOf(kind_); }
  // The number titles and messages show.
  int number() const { return info().first_number + row_; }
  // Where the slot lives in flash.
  FlashSlot flash() const { return info().flash(row_); }

  bool operator==(const Slot&) const = default;

 private:
  Slot(SlotKind kind, int row) : kind_(kind), row_(row) {}

  SlotKind kind_;
  int row_;
};

}  // namespace qvx
