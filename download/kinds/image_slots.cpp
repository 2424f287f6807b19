// The image slots of a flash image.
#include "download/kinds/image_slots.h"

#include "download/kinds/image_kind.h"
#include "download/kinds/report_texts.h"
#include "download/text_format.h"

namespace qvx {

flash::ImageSlot ImageSlotOf(const Slot& slot) {
  const FlashSlot flash = slot.flash();
  // The countdown shares the banners' texts but is not shown as a banner number.
  return {slot.kind() == SlotKind::kCountdown ? std::string(report_text::kCountdownSlot)
                                              : FormatStep(slot.info().texts.slot, slot.number()),
          flash.first_address, flash.second_address, ImageKindOf(slot.kind())->height};
}

flash::ImageSlot PictureImageSlot(int picture) {
  return ImageSlotOf(Slot::FromRow(SlotKind::kPicture, picture - 1));
}

flash::ImageSlot BannerImageSlot(int banner) {
  return ImageSlotOf(Slot::FromNumber(SlotKind::kCountdown, banner)
                         .value_or(Slot::FromRow(SlotKind::kBanner, banner - 1)));
}

}  // namespace qvx
