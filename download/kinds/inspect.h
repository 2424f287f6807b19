// The checks the flash viewer makes of each kind's slots: video bytes within 16..235, audio words
// with even parity and the expected flags. Each kind's module reports through one of these.
#pragma once

#include "download/kinds/kind_module.h"

namespace qvx {

SlotReport InspectImage(const flash::FlashImage& flash, const flash::ImageSlot& slot);
SlotReport InspectAudio(const flash::FlashImage& flash);
SlotReport InspectPattern(const flash::FlashImage& flash, int number);

// Whether an audio word is one the synthesis makes for this frame and channel (0..3): even parity,
// the channel number, the channel-status and block-start bits of the frame, and zero spare bits.
bool AudioWordParityEven(const AudioWord& word);
bool AudioWordFlagsExpected(const AudioWord& word, int frame, int channel);

}  // namespace qvx
