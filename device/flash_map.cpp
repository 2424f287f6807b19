// The sector table, the slot table and the sector erase.
#include "device/flash_map.h"

#include <array>

#include "device/texts.h"

namespace qvx {
namespace {

// Start addresses of sectors 1..66: three small sectors at 0x002000, 0x003000 and 0x004000, then
// every 0x8000 units from 0x008000 up to 0x1F8000. Sector 0 is the one at address 0.
constexpr std::array<uint32_t, kSectorCount + 1> kSectorTable = [] {
  std::array<uint32_t, kSectorCount + 1> table{};
  table[1] = 0x002000;
  table[2] = 0x003000;
  table[3] = 0x004000;
  for (uint32_t n = 4; n <= kSectorCount; ++n)
    table[n] = (n - 3) * 0x8000;
  return table;
}();

constexpr uint16_t kAudioSector = 16;
constexpr uint16_t kCountdownSector = 17;
constexpr uint32_t kBannerFieldSpacing = 0x8000;
constexpr uint16_t kPictureSectors = 16;
constexpr uint16_t kPicture1Sector = 35;
constexpr uint16_t kPicture2Sector = 51;
// A picture's second field starts half-way through its region.
constexpr uint32_t kPictureFieldSpacing = 0x40000;

}  // namespace

uint32_t SectorAddress(uint16_t index) {
  return index >= 1 && index <= kSectorCount ? kSectorTable[index] : 0;
}

FlashSlot PatternSlot(int number) {
  const auto sector = static_cast<uint16_t>(number >= 0 && number < kPatternSlots ? number : 0);
  return {sector, 1, SectorAddress(sector), 0};
}

FlashSlot AudioSlot() {
  return {kAudioSector, 1, SectorAddress(kAudioSector), 0};
}

FlashSlot BannerSlot(int number) {
  if (number < 1 || number > kCountdownBanner)
    number = 1;
  // The countdown (banner 9) takes the two sectors in front of banner 1.
  const auto sector =
      static_cast<uint16_t>(number == kCountdownBanner ? kCountdownSector : 17 + 2 * number);
  const uint32_t first = SectorAddress(sector);
  return {sector, 2, first, first + kBannerFieldSpacing};
}

FlashSlot PictureSlot(int index) {
  const uint16_t sector = index == 0 ? kPicture1Sector : kPicture2Sector;
  const uint32_t first = SectorAddress(sector);
  return {sector, kPictureSectors, first, first + kPictureFieldSpacing};
}

void EraseSector(DeviceLink& link, uint16_t sector_index) {
  if (!link.connected())
    return;
  link.SetAddress(SectorAddress(sector_index));
  link.WriteCommand(CMD_ERASE_SECTOR);
  if (link.PollStatus() == 0) {
    throw DeviceFault(kEraseUnfinishedText);
  }
}

}  // namespace qvx
