// The picture, banner, countdown, test pattern and audio downloads.
#include "download/downloads.h"

#include <array>
#include <memory>

#include "device/flash_map.h"
#include "download/bitmap_file.h"
#include "download/frame.h"
#include "download/image_kind.h"
#include "download/progress.h"
#include "download/video_lines.h"
#include "encode/amplitude.h"
#include "encode/tone_synthesis.h"

namespace qvx {

static_assert(kAudioBlockSize == kBlockSize && kLineBufferSize == kBlockSize,
              "every block the generator takes after CMD_WRITE_BLOCK is the same size");

Outcome Downloads::Run(const DownloadRequest& request) {
  switch (request.slot.kind()) {
    case SlotKind::kPicture:
    case SlotKind::kBanner:
    case SlotKind::kCountdown:
      return DownloadImage(ImageKindOf(request.slot.kind()), request.slot);
    case SlotKind::kPattern:
      return DownloadTestPattern(request.slot);
    case SlotKind::kAudio:
      break;
  }
  return DownloadAudio(request.audio);
}

template <typename Body>
bool Downloads::Guarded(const OperationTexts& texts, int slot, Body&& body) {
  try {
    body();
    return true;
  } catch (const DeviceFault& fault) {
    Fail(fault.what(), texts, slot);
  } catch (const FileReadError& error) {
    Fail(error.what(), texts, slot);
  }
  return false;
}

void Downloads::Fail(const std::string& what_failed, const OperationTexts& texts, int slot) {
  window_.ShowMessage(FailureMessage(what_failed, texts, slot));
  // Leave loading mode where the generator still takes commands.
  try {
    link_.SendEndLoad();
  } catch (const DeviceFault&) {
  }
  EnableButtons(window_);
  window_.SetProgress(progress::kIdle);
  window_.SetTitle(kResetTitle);
}

void Downloads::OpenFrame(Repaint repaint) {
  link_.BeginOperation();
  DisableButtons(window_);
  link_.PurgeReceive();
  link_.BusyPause();
  if (repaint == Repaint::kWindow)
    window_.Repaint();
  link_.SendBeginLoad();
  link_.WaitSeconds(1);
}

Outcome Downloads::DownloadImage(const ImageKind& kind, const Slot& slot) {
  const OperationTexts& texts = kind.texts;
  if (!link_.connected()) {
    CloseImageDownload(kind);
    return Outcome::kNotConnected;
  }
  Outcome outcome = Outcome::kLeftErased;
  const int shown = slot.number();
  const bool finished = Guarded(texts, shown, [&] {
    OpenFrame(Repaint::kWindow);
    if (slot.kind() == SlotKind::kPicture) {
      state_.PictureIndex = static_cast<uint16_t>(slot.row());
    } else {
      state_.BannerNumber = static_cast<uint16_t>(shown);
    }
    window_.SetTitle(FormatStep(texts.erasing, shown));
    EraseImage(kind, slot);
    link_.WaitSeconds(5);
    window_.SetTitle(FormatStep(texts.downloading, shown));

    if (const auto path = window_.ChooseFile(kBitmapFilter)) {
      if (auto file = ContentFile::Open(*path)) {
        BmpHeader header{};
        const BmpVerdict verdict = ReadBitmapHeader(*file, header);
        if (kind.Accepts(verdict)) {
          TransferImage(kind, slot, *file, DeclaredFileSize(header));
          outcome = Outcome::kCompleted;
        } else {
          window_.ShowMessage(texts.refused);
          outcome = Outcome::kRefused;
        }
        window_.SetProgress(progress::kIdle);
      }
    }
    link_.SendEndLoad();
    EnableButtons(window_);
  });
  if (!finished)
    return Outcome::kFailed;
  CloseImageDownload(kind);
  return outcome;
}

void Downloads::CloseImageDownload(const ImageKind& kind) {
  window_.SetTitle(kind.texts.finished);
  if (kind.closing_wait > 0)
    link_.WaitSeconds(kind.closing_wait);
  ReportComplete(window_);
  window_.Repaint();
}

void Downloads::TransferImage(const ImageKind& kind, const Slot& slot, ContentFile& file,
                              uint64_t data_end) {
  // A picture is sent in bands with its bar moving per band and two extra pauses after every
  // line; a banner is one band with its bar moving per line pair.
  const bool banded = kind.bands > 1;
  const FlashSlot flash = slot.flash();
  VideoLineSender sender(link_, window_, banded ? 2 : 0);
  if (banded)
    link_.BusyPause();
  for (int band = 0; band < kind.bands; ++band) {
    // Band 0 holds the bottom rows of the picture, so it goes to the highest lines.
    const uint32_t offset =
        static_cast<uint32_t>(kind.bands - 1 - band) * kLinePairsPerBand * kLineAddressUnits;
    if (banded)
      window_.SetProgress(band * 100 / kind.bands);
    for (int k = 0; k < kLinePairsPerBand; ++k) {
      if (!banded)
        window_.SetProgress(k * 100 / kLinePairsPerBand);
      sender.TransferLinePair(file, k, flash.first_address + offset, flash.second_address + offset,
                              data_end);
    }
  }
}

void Downloads::EraseImage(const ImageKind& kind, const Slot& slot) {
  // A banner's erase shows the wait cursor once more before it starts.
  if (kind.bands == 1)
    window_.ShowWaitCursor();
  const FlashSlot flash = slot.flash();
  state_.SectorIndex = flash.first_sector;
  for (int i = 0; i < flash.sector_count; ++i) {
    window_.SetProgress((i + 1) * kind.erase_progress_step);
    EraseSector(link_, state_.SectorIndex);
    link_.WaitSeconds(3);
    ++state_.SectorIndex;
  }
}

Outcome Downloads::DownloadTestPattern(const Slot& slot) {
  const OperationTexts& texts = kPatternTexts;
  Outcome outcome = link_.connected() ? Outcome::kLeftErased : Outcome::kNotConnected;
  const int shown = slot.number();
  if (link_.connected()) {
    const bool finished = Guarded(texts, shown, [&] {
      OpenFrame(Repaint::kNothing);
      ErasePattern(slot);
      link_.SendEndLoad();
      window_.SetProgress(progress::kIdle);
      state_.PatternNumber = static_cast<uint16_t>(slot.row() + 1);
      window_.SetTitle(FormatStep(texts.erasing, shown));

      // The slot is erased a second time, in a loading mode of its own.
      link_.PurgeReceive();
      link_.BusyPause();
      link_.SendBeginLoad();
      link_.WaitSeconds(1);
      ErasePattern(slot);
      link_.SendEndLoad();
      window_.SetProgress(progress::kIdle);

      for (int position : progress::kPatternSettling) {
        window_.SetProgress(position);
        link_.WaitSeconds(1);
      }
      window_.SetProgress(progress::kIdle);
      window_.SetTitle(FormatStep(texts.downloading, shown));

      if (const auto path = window_.ChooseFile(kPatternFilter)) {
        // A file that cannot be opened writes nothing: the slot stays erased, as after a cancel.
        if (auto file = ContentFile::Open(*path)) {
          // The bytes after a short file's end are zero, never an earlier file's.
          std::array<uint8_t, kPatternSize> pattern{};
          file->Read(pattern);
          file.reset();
          WritePattern(slot, pattern);
          outcome = Outcome::kCompleted;
        }
      }
      link_.SendEndLoad();
      EnableButtons(window_);
      window_.SetProgress(progress::kIdle);
    });
    if (!finished)
      return Outcome::kFailed;
  }
  for (int position : progress::kPatternClosing) {
    window_.SetProgress(position);
    link_.WaitSeconds(1);
  }
  window_.SetProgress(progress::kIdle);
  window_.SetTitle(texts.finished);
  ReportComplete(window_);
  window_.Repaint();
  return outcome;
}

void Downloads::ErasePattern(const Slot& slot) {
  state_.SectorIndex = static_cast<uint16_t>(slot.row());
  EraseSector(link_, state_.SectorIndex);
  link_.WaitSeconds(3);
}

void Downloads::WritePattern(const Slot& slot, std::span<const uint8_t> pattern) {
  state_.PatternNumber = static_cast<uint16_t>(slot.row() + 1);
  window_.ShowWaitCursor();
  const uint32_t address = slot.flash().first_address;
  link_.PurgeReceive();
  link_.BusyPause();
  link_.SendBeginLoad();
  link_.BusyPause();
  link_.SetAddress(address);
  link_.WriteCommand(CMD_WRITE_PATTERN);
  link_.Write(pattern);
  if (link_.PollStatus() == 0) {
    throw DeviceFault(kPatternWriteUnfinishedText);
  }
  link_.BusyPause();
  link_.SendFinishWrite();
  link_.BusyPause();
  link_.SendEndLoad();
}

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
      link_.WaitSeconds(1);
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
  link_.WaitSeconds(3);
}

}  // namespace qvx
