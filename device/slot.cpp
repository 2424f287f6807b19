// The one mapping from list rows and typed numbers to slots and flash.
#include "device/slot.h"

namespace qvx {
namespace {

// The number of a kind's first list row.
int RowZeroNumber(SlotKind kind) {
  switch (kind) {
    case SlotKind::kPicture:
    case SlotKind::kBanner:
      return 1;
    case SlotKind::kCountdown:
      return kCountdownBanner;
    case SlotKind::kPattern:
    case SlotKind::kAudio:
      break;
  }
  return 0;
}

}  // namespace

int Slot::FirstNumber(SlotKind kind) {
  return RowZeroNumber(kind);
}

int Slot::LastNumber(SlotKind kind) {
  switch (kind) {
    case SlotKind::kPicture:
      return kPictureSlots;
    case SlotKind::kBanner:
      return kBannerSlots;
    case SlotKind::kPattern:
      return kPatternSlots - 1;
    case SlotKind::kCountdown:
    case SlotKind::kAudio:
      break;
  }
  return RowZeroNumber(kind);
}

std::string_view Slot::Name(SlotKind kind) {
  switch (kind) {
    case SlotKind::kPicture:
      return "picture";
    case SlotKind::kBanner:
      return "banner";
    case SlotKind::kCountdown:
      return "countdown";
    case SlotKind::kPattern:
      return "pattern";
    case SlotKind::kAudio:
      break;
  }
  return "audio";
}

std::optional<Slot> Slot::FromNumber(SlotKind kind, int number) {
  if (number < FirstNumber(kind) || number > LastNumber(kind))
    return std::nullopt;
  return Slot(kind, number - RowZeroNumber(kind));
}

int Slot::number() const {
  return kind_ == SlotKind::kCountdown || kind_ == SlotKind::kAudio ? RowZeroNumber(kind_)
                                                                    : row_ + RowZeroNumber(kind_);
}

FlashSlot Slot::flash() const {
  switch (kind_) {
    case SlotKind::kPicture:
      return PictureSlot(row_);
    case SlotKind::kBanner:
    case SlotKind::kCountdown:
      return BannerSlot(number());
    case SlotKind::kPattern:
      return PatternSlot(row_);
    case SlotKind::kAudio:
      break;
  }
  return AudioSlot();
}

}  // namespace qvx
