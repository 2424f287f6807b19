// What each slot of a flash image holds, with the checks that tell stored content from damage:
// video bytes within 16..235, audio words with even parity and the expected flags.
#pragma once

#include <string>
#include <vector>

#include "flash/flash_image.h"

namespace qvx::cli {

struct SlotReport {
  std::string slot;    // "Picture 1", "Banner 8", "Countdown", "Pattern 0", "Audio"
  bool erased;         // every byte of the slot's content is 0xFF
  bool passed;         // the checks found nothing wrong (true for an erased slot)
  std::string detail;  // what the checks found
};

// Pictures 1-2, banners 1-8, the countdown, patterns 0-15 and the audio loop, in this order.
std::vector<SlotReport> InspectFlash(const flash::FlashImage& flash);

SlotReport InspectImage(const flash::FlashImage& flash, const flash::ImageSlot& slot);
SlotReport InspectAudio(const flash::FlashImage& flash);
SlotReport InspectPattern(const flash::FlashImage& flash, int number);

// Whether an audio word is one the synthesis makes for this frame and channel (0..3): even parity,
// the channel number, the channel-status and block-start bits of the frame, and zero spare bits.
bool AudioWordParityEven(const AudioWord& word);
bool AudioWordFlagsExpected(const AudioWord& word, int frame, int channel);

// The table `info` prints.
std::string FormatReport(const std::vector<SlotReport>& reports);

}  // namespace qvx::cli
