// Where each kind of content lives in the generator's flash: the sector table that EraseSector
// uses, and the slot table that the download operations use. Addresses count two-byte units.
#pragma once

#include <cstdint>

#include "device/protocol.h"

namespace qvx {

inline constexpr uint16_t kSectorCount = 66;

// Start address of sector `index`; indices outside 1..66 give 0x000000.
uint32_t SectorAddress(uint16_t index);

// A slot: the sectors erased for it, in ascending order, and where its data is written. Patterns
// and audio use `first_address` only; banners and pictures write two fields.
struct FlashSlot {
  uint16_t first_sector;
  uint16_t sector_count;
  uint32_t first_address;   // pattern, audio, or first field start
  uint32_t second_address;  // second field start; 0 for patterns and audio
};

inline constexpr int kPatternSlots = 16;
inline constexpr int kBannerSlots = 8;
inline constexpr uint16_t kCountdownBanner = 9;
inline constexpr int kPictureSlots = 2;

// Pattern shown as `number` (0..15) in its list; other numbers take the pattern 0 row.
FlashSlot PatternSlot(int number);
FlashSlot AudioSlot();
// Banner 1..8, or 9 for the countdown; other numbers take the banner 1 row.
FlashSlot BannerSlot(int number);
// Picture index 0 (picture 1) or any other value (picture 2).
FlashSlot PictureSlot(int index);

// Erases the sector `sector_index` points at: address, erase command, status poll. Sends nothing
// when not connected. Throws DeviceFault when the generator never reports the erase finished.
void EraseSector(DeviceLink& link, uint16_t sector_index);

}  // namespace qvx
