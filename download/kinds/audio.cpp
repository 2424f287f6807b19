// The audio loop kind: its download (one erase, the four channels synthesised from their tones and
// levels, the blocks sent) and what the flash viewer reads back of it.
#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <memory>

#include "download/downloads.h"
#include "download/frame.h"
#include "download/kinds/inspect.h"
#include "download/kinds/report_texts.h"
#include "download/kinds/slot_checks.h"
#include "download/progress.h"
#include "download/waits.h"
#include "encode/amplitude.h"
#include "encode/tone_synthesis.h"

namespace qvx {

using flash::FlashImage;
using flash::SampleOf;
using flash::StoredAudioWord;

namespace {

static_assert(kAudioBlockSize == kBlockSize,
              "every block the generator takes after CMD_WRITE_BLOCK is the same size");

Outcome Download(Downloads& downloads, const DownloadRequest& request) {
  return downloads.DownloadAudio(request.audio);
}

SlotReport Inspect(const FlashImage& flash, const Slot&) {
  return InspectAudio(flash);
}

StoredContent Stored(const FlashImage& flash, const Slot&) {
  return flash::DecodeAudio(flash);
}

}  // namespace

const KindModule kAudioModule{Download, Inspect, Stored, nullptr};

Outcome Downloads::DownloadAudio(const AudioSettings& audio) {
  if (!link_.connected())
    return Outcome::kNotConnected;
  Outcome outcome = Outcome::kCompleted;
  const int slot = Slot::Audio().number();
  const bool finished = Guarded(kAudioTexts, slot, [&] {
    OpenFrame(Repaint::kNothing);
    EraseAudio();

    std::array<ChannelTone, kAudioChannels> tones{};
    for (int ch = 0; ch < kAudioChannels; ++ch) {
      tones[ch].period = TonePeriod(audio.tone_rows[ch]);
    }
    for (int ch = 0; ch < kAudioChannels; ++ch) {
      const AmplitudeReading reading = ParseAmplitude(audio.amplitudes[ch]);
      if (!reading.accepted) {
        window_.ShowMessage(AmplitudeRefusalText(ch + 1));
        link_.SendEndLoad();
        EnableButtons(window_);
        window_.SetProgress(progress::kIdle);
        outcome = Outcome::kRefused;
        return;
      }
      window_.ShowAmplitude(ch + 1, reading.display);
      tones[ch].gain = reading.gain;
    }

    window_.SetProgress(progress::kAudioComputed);
    link_.SetAddress(AudioSlot().first_address);
    auto channels = std::make_unique<std::array<ChannelWords, kAudioChannels>>();
    for (int ch = 0; ch < kAudioChannels; ++ch) {
      SynthesizeChannel(ch + 1, tones[ch], (*channels)[ch]);
    }
    AudioBlock block{};
    for (int b = 0; b < kAudioBlocks; ++b) {
      // The last block leaves the bar where it is, at 90.
      if (b < kAudioBlocks - 1)
        window_.SetProgress(b * progress::kAudioBlockStep);
      PackAudioBlocks(*channels, b, block);
      link_.WriteCommand(CMD_WRITE_BLOCK);
      link_.Write(block);
      link_.WaitSeconds(wait::kAudioBlockWrite);
    }
    link_.SendEndLoad();
    EnableButtons(window_);
    window_.SetProgress(progress::kIdle);
    ReportComplete(window_);
  });
  return finished ? outcome : Outcome::kFailed;
}

void Downloads::EraseAudio() {
  window_.ShowWaitCursor();
  state_.SectorIndex = AudioSlot().first_sector;
  EraseSector(link_, state_.SectorIndex);
  link_.WaitSeconds(wait::kSectorErase);
}

bool AudioWordParityEven(const AudioWord& word) {
  int ones = 0;
  for (uint8_t b : word)
    ones += std::popcount(b);
  return ones % 2 == 0;
}

bool AudioWordFlagsExpected(const AudioWord& word, int frame, int channel) {
  const uint8_t expected = static_cast<uint8_t>(channel << 5) |
                           (ChannelStatusBit(frame) ? 0x08 : 0x00) |
                           (frame % kStatusBlockFrames == 0 ? 0x01 : 0x00);
  // Bit 4 is the parity, checked on its own; bits 4 to 7 of byte 1 are above the sample.
  return (word[0] & ~0x10) == expected && (word[1] & 0xF0) == 0;
}

SlotReport InspectAudio(const FlashImage& flash) {
  const auto loop = flash.At(AudioSlot().first_address, kAudioFrames * sizeof(AudioFrame));
  if (AllErased(loop))
    return SlotReport::Erased(report_text::kAudioSlot);
  size_t odd = 0;
  size_t wrong_flags = 0;
  std::array<int32_t, kAudioChannels> peak{};
  for (int i = 0; i < kAudioFrames; ++i) {
    for (int ch = 0; ch < kAudioChannels; ++ch) {
      const AudioWord word = StoredAudioWord(flash, i, ch);
      odd += AudioWordParityEven(word) ? 0 : 1;
      wrong_flags += AudioWordFlagsExpected(word, i, ch) ? 0 : 1;
      peak[static_cast<size_t>(ch)] =
          std::max(peak[static_cast<size_t>(ch)], std::abs(SampleOf(word)));
    }
  }
  return SlotReport::Holding(report_text::kAudioSlot, odd == 0 && wrong_flags == 0,
                             report_text::AudioDetail(kAudioFrames, odd, wrong_flags, peak));
}

}  // namespace qvx
