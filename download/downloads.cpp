// The picture, banner, countdown, test pattern and audio downloads.
#include "download/downloads.h"

#include <memory>

#include "device/flash_map.h"
#include "download/bitmap_file.h"
#include "download/controls.h"
#include "download/frame.h"
#include "download/video_lines.h"
#include "encode/tone_synthesis.h"

namespace qvx {

static_assert(kAudioBlockSize == kBlockSize && kLineBufferSize == kBlockSize,
              "every block the generator takes after CMD_WRITE_BLOCK is the same size");

inline constexpr uint32_t kPictureBands = 8;

// What differs between the picture download and the banner and countdown downloads.
struct Downloads::ImageKind {
  const OperationTexts& texts;
  bool picture;
  bool countdown;
  int wait_before_complete;
};

template <typename Body>
bool Downloads::Guarded(const OperationTexts& texts, const int& slot, Body&& body) {
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
  window_.SetProgress(0);
  window_.SetTitle(kResetTitle);
}

void Downloads::OpenFrame(bool repaint) {
  link_.BeginOperation();
  DisableButtons(window_);
  link_.driver().GuardedPurge(d2xx::FT_PURGE_RX);
  link_.BusyPause();
  if (repaint)
    window_.Repaint();
  link_.SendBeginLoad();
  link_.WaitSeconds(1);
}

Outcome Downloads::DownloadPicture() {
  return DownloadImage({kPictureTexts, true, false, 0});
}

Outcome Downloads::DownloadBanner() {
  return DownloadImage({kBannerTexts, false, false, 2});
}

Outcome Downloads::DownloadCountdown() {
  return DownloadImage({kBannerTexts, false, true, 2});
}

Outcome Downloads::DownloadImage(const ImageKind& kind) {
  const OperationTexts& texts = kind.texts;
  if (!link_.connected()) {
    CloseImageDownload(kind);
    return Outcome::kNotConnected;
  }
  Outcome outcome = Outcome::kLeftErased;
  int shown =
      kind.countdown
          ? kCountdownBanner
          : window_.Selection(kind.picture ? control::kPictureCombo : control::kBannerCombo) + 1;
  const bool finished = Guarded(texts, shown, [&] {
    OpenFrame(true);
    if (kind.picture) {
      state_.PictureIndex = static_cast<uint16_t>(window_.Selection(control::kPictureCombo));
      shown = state_.PictureIndex + 1;
    } else {
      state_.BannerNumber = static_cast<uint16_t>(
          kind.countdown ? kCountdownBanner : window_.Selection(control::kBannerCombo) + 1);
      shown = state_.BannerNumber;
    }
    window_.SetTitle(FormatStep(texts.erasing, shown));
    if (kind.picture) {
      ErasePicture();
    } else {
      EraseBanner();
    }
    link_.WaitSeconds(5);
    window_.SetTitle(FormatStep(texts.downloading, shown));

    if (const auto path = window_.ChooseFile(kBitmapFilter)) {
      if (!kind.picture) {
        const FlashSlot slot = BannerSlot(state_.BannerNumber);
        state_.FirstFieldAddress = slot.first_address;
        state_.SecondFieldAddress = slot.second_address;
      }
      if (auto file = ContentFile::Open(*path)) {
        if (ReadAcceptedHeader(*file, kind.picture)) {
          TransferImage(*file, kind.picture);
          outcome = Outcome::kCompleted;
        } else {
          window_.ShowMessage(texts.refused);
          outcome = Outcome::kRefused;
        }
        window_.SetProgress(0);
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
  if (kind.wait_before_complete > 0)
    link_.WaitSeconds(kind.wait_before_complete);
  ReportComplete(window_);
  window_.Repaint();
}

void Downloads::TransferImage(ContentFile& file, bool picture) {
  VideoLineSender sender(link_, window_, state_);
  const uint64_t data_end = DeclaredFileSize(state_.bmp_header);
  if (!picture) {
    for (int k = 0; k < kLinePairsPerBand; ++k) {
      window_.SetProgress(k * 100 / kLinePairsPerBand);
      sender.TransferLinePair(file, k, false, data_end);
    }
    return;
  }
  const FlashSlot slot = PictureSlot(state_.PictureIndex);
  link_.BusyPause();
  for (uint32_t band = 0; band < kPictureBands; ++band) {
    // Band 0 holds the bottom rows of the picture, so it goes to the highest lines.
    const uint32_t offset = (kPictureBands - 1 - band) * kLinePairsPerBand * kLineAddressUnits;
    state_.FirstFieldAddress = slot.first_address + offset;
    state_.SecondFieldAddress = slot.second_address + offset;
    window_.SetProgress(static_cast<int>(band * 100 / kPictureBands));
    for (int k = 0; k < kLinePairsPerBand; ++k)
      sender.TransferLinePair(file, k, true, data_end);
  }
}

bool Downloads::ReadAcceptedHeader(ContentFile& file, bool picture) {
  (picture ? state_.PictureAcceptable : state_.BannerAcceptable) = false;
  const BmpVerdict verdict = ReadBitmapHeader(file, state_.bmp_header);
  state_.BannerAcceptable = verdict.BannerAcceptable;
  state_.PictureAcceptable = verdict.PictureAcceptable;
  return picture ? state_.PictureAcceptable : state_.BannerAcceptable;
}

void Downloads::ErasePicture() {
  state_.PictureIndex = static_cast<uint16_t>(window_.Selection(control::kPictureCombo));
  const FlashSlot slot = PictureSlot(state_.PictureIndex);
  state_.SectorIndex = slot.first_sector;
  for (int i = 0; i < slot.sector_count; ++i) {
    window_.SetProgress((i + 1) * 6);
    EraseSector(link_, state_.SectorIndex);
    link_.WaitSeconds(3);
    ++state_.SectorIndex;
  }
}

void Downloads::EraseBanner() {
  window_.ShowWaitCursor();
  const FlashSlot slot = BannerSlot(state_.BannerNumber);
  for (int i = 0; i < slot.sector_count; ++i) {
    window_.SetProgress(30 * (i + 1));
    state_.SectorIndex = static_cast<uint16_t>(slot.first_sector + i);
    EraseSector(link_, state_.SectorIndex);
    link_.WaitSeconds(3);
  }
}

Outcome Downloads::DownloadTestPattern() {
  const OperationTexts& texts = kPatternTexts;
  Outcome outcome = link_.connected() ? Outcome::kLeftErased : Outcome::kNotConnected;
  int shown = window_.Selection(control::kPatternCombo);
  if (link_.connected()) {
    const bool finished = Guarded(texts, shown, [&] {
      OpenFrame(false);
      ErasePattern();
      link_.SendEndLoad();
      window_.SetProgress(0);
      state_.PatternNumber = static_cast<uint16_t>(window_.Selection(control::kPatternCombo) + 1);
      shown = state_.PatternNumber - 1;
      window_.SetTitle(FormatStep(texts.erasing, shown));

      // The slot is erased a second time, in a loading mode of its own.
      link_.driver().GuardedPurge(d2xx::FT_PURGE_RX);
      link_.BusyPause();
      link_.SendBeginLoad();
      link_.WaitSeconds(1);
      ErasePattern();
      link_.SendEndLoad();
      window_.SetProgress(0);

      for (int position : {20, 40, 60, 80}) {
        window_.SetProgress(position);
        link_.WaitSeconds(1);
      }
      window_.SetProgress(0);
      window_.SetTitle(FormatStep(texts.downloading, shown));

      if (const auto path = window_.ChooseFile(kPatternFilter)) {
        // A file that cannot be opened writes nothing: the slot stays erased, as after a cancel.
        if (auto file = ContentFile::Open(*path)) {
          // The bytes after a short file's end are zero, never an earlier file's.
          state_.PatternBuffer.fill(0);
          file->Read(state_.PatternBuffer);
          file.reset();
          WritePattern();
          outcome = Outcome::kCompleted;
        }
      }
      link_.SendEndLoad();
      EnableButtons(window_);
      window_.SetProgress(0);
    });
    if (!finished)
      return Outcome::kFailed;
  }
  for (int position : {33, 66}) {
    window_.SetProgress(position);
    link_.WaitSeconds(1);
  }
  window_.SetProgress(0);
  window_.SetTitle(texts.finished);
  ReportComplete(window_);
  window_.Repaint();
  return outcome;
}

void Downloads::ErasePattern() {
  state_.SectorIndex = static_cast<uint16_t>(window_.Selection(control::kPatternCombo));
  EraseSector(link_, state_.SectorIndex);
  link_.WaitSeconds(3);
}

void Downloads::WritePattern() {
  state_.PatternNumber = static_cast<uint16_t>(window_.Selection(control::kPatternCombo) + 1);
  window_.ShowWaitCursor();
  const uint32_t address = PatternSlot(state_.PatternNumber - 1).first_address;
  link_.driver().GuardedPurge(d2xx::FT_PURGE_RX);
  link_.BusyPause();
  link_.SendBeginLoad();
  link_.BusyPause();
  link_.SetAddress(address);
  link_.WriteCommand(CMD_WRITE_PATTERN);
  link_.Write(state_.PatternBuffer);
  if (link_.PollStatus() == 0) {
    throw DeviceFault("the generator did not report the end of the pattern write");
  }
  link_.BusyPause();
  link_.SendFinishWrite();
  link_.BusyPause();
  link_.SendEndLoad();
}

Outcome Downloads::DownloadAudio() {
  if (!link_.connected())
    return Outcome::kNotConnected;
  Outcome outcome = Outcome::kCompleted;
  const int slot = 0;
  const bool finished = Guarded(kAudioTexts, slot, [&] {
    OpenFrame(false);
    EraseAudio();

    std::array<ChannelTone, kAudioChannels> tones{};
    for (int ch = 0; ch < kAudioChannels; ++ch) {
      tones[ch].period = TonePeriod(window_.Selection(control::kFrequencyCombos[ch]));
    }
    for (int ch = 0; ch < kAudioChannels; ++ch) {
      const int edit = control::kAmplitudeEdits[ch];
      const AmplitudeReading reading = ParseAmplitude(ch + 1, window_.Text(edit));
      if (!reading.accepted) {
        window_.ShowMessage(reading.message);
        link_.SendEndLoad();
        EnableButtons(window_);
        window_.SetProgress(0);
        outcome = Outcome::kRefused;
        return;
      }
      window_.SetText(edit, reading.display);
      tones[ch].gain = reading.gain;
    }

    window_.SetProgress(25);
    link_.SetAddress(AudioSlot().first_address);
    auto channels = std::make_unique<std::array<ChannelWords, kAudioChannels>>();
    for (int ch = 0; ch < kAudioChannels; ++ch) {
      SynthesizeChannel(ch + 1, tones[ch], (*channels)[ch]);
    }
    AudioBlock block{};
    for (int b = 0; b < kAudioBlocks; ++b) {
      // The last block leaves the bar where it is, at 90.
      if (b < kAudioBlocks - 1)
        window_.SetProgress(b * 10);
      PackAudioBlocks(*channels, b, block);
      link_.WriteCommand(CMD_WRITE_BLOCK);
      link_.Write(block);
      link_.WaitSeconds(1);
    }
    link_.SendEndLoad();
    EnableButtons(window_);
    window_.SetProgress(0);
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
