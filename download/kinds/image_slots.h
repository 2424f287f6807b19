// Where a picture, banner or countdown slot lies in a flash image, as the flash viewer and the
// preview read it back.
#pragma once

#include "download/kinds/slot.h"
#include "flash/flash_image.h"

namespace qvx {

// A picture, banner or countdown slot.
flash::ImageSlot ImageSlotOf(const Slot& slot);
flash::ImageSlot PictureImageSlot(int picture);  // 1..2
flash::ImageSlot BannerImageSlot(int banner);    // 1..8, 9 for the countdown

}  // namespace qvx
