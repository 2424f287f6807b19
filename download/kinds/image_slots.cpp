// The image slots of a flash image.
#include "download/kinds/image_slots.h"

#include "download/text_format.h"

namespace qvx {

flash::ImageSlot ImageSlotOf(const Slot& slot) {
  const FlashSlot flash = slot.flash();
  const bool picture = slot.kind() == SlotKind::kPicture;
  return {slot.kind() == SlotKind::kCountdown ? std::string("Countdown")
                                              : FormatStep(slot.info().texts.slot, slot.number()),
          flash.first_address, flash.second_address,
          static_cast<int>(picture ? kPictureHeight : kBannerHeight)};
}

flash::ImageSlot PictureImageSlot(int picture) {
  return ImageSlotOf(Slot::FromRow(SlotKind::kPicture, picture - 1));
}

flash::ImageSlot BannerImageSlot(int banner) {
  return ImageSlotOf(Slot::FromNumber(SlotKind::kCountdown, banner)
                         .value_or(Slot::FromRow(SlotKind::kBanner, banner - 1)));
}

}  // namespace qvx
