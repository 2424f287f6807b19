// The picture, banner and countdown kinds: their image rows, their download (erase, file, the
// rows sent as video lines, close) and what the flash viewer reads back of them.
#include <algorithm>

#include "download/bitmap_file.h"
#include "download/downloads.h"
#include "download/frame.h"
#include "download/kinds/image_kind.h"
#include "download/kinds/image_slots.h"
#include "download/kinds/inspect.h"
#include "download/kinds/report_texts.h"
#include "download/kinds/slot_checks.h"
#include "download/progress.h"
#include "download/video_lines.h"
#include "download/waits.h"

namespace qvx {

using flash::FlashImage;
using flash::ImageSlot;
using flash::StoredLine;

static_assert(kLineBufferSize == kBlockSize,
              "every block the generator takes after CMD_WRITE_BLOCK is the same size");

namespace {

constexpr uint8_t kVideoMin = 16;
constexpr uint8_t kVideoMax = 235;

// A picture is sent in 8 bands with its bar moving per band and two extra pauses after every
// line; a banner is one band with its bar moving per line pair, and waits before its completion
// box.
constexpr ImageKind kPictureImage{.texts = kPictureTexts,
                                  .acceptable = &BmpVerdict::PictureAcceptable,
                                  .shape = BmpKind::kPicture,
                                  .height = static_cast<int>(kPictureHeight),
                                  .prep_word = "picture",
                                  .bands = 8,
                                  .erase_progress_step = progress::kPictureSectorStep,
                                  .closing_wait = 0,
                                  .pauses_after_line = 2};
constexpr ImageKind kBannerImage{.texts = kBannerTexts,
                                 .acceptable = &BmpVerdict::BannerAcceptable,
                                 .shape = BmpKind::kBanner,
                                 .height = static_cast<int>(kBannerHeight),
                                 .prep_word = "banner",
                                 .bands = 1,
                                 .erase_progress_step = progress::kBannerSectorStep,
                                 .closing_wait = wait::kBannerClosing,
                                 .pauses_after_line = 0};

Outcome Download(Downloads& downloads, const DownloadRequest& request) {
  return downloads.DownloadImage(*ImageKindOf(request.slot.kind()), request.slot);
}

SlotReport Inspect(const FlashImage& flash, const Slot& slot) {
  return InspectImage(flash, ImageSlotOf(slot));
}

StoredContent Stored(const FlashImage& flash, const Slot& slot) {
  return flash::DecodeImage(flash, ImageSlotOf(slot));
}

}  // namespace

const KindModule kPictureModule{Download, Inspect, Stored, &kPictureImage};
const KindModule kBannerModule{Download, Inspect, Stored, &kBannerImage};

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
    link_.WaitSeconds(wait::kImageErased);
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
  VideoLineSender sender(link_, window_, kind.pauses_after_line);
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
    link_.WaitSeconds(wait::kSectorErase);
    ++state_.SectorIndex;
  }
}

SlotReport InspectImage(const FlashImage& flash, const ImageSlot& slot) {
  size_t erased_lines = 0;
  size_t outside = 0;
  for (int y = 0; y < slot.height; ++y) {
    const auto line = StoredLine(flash, slot, y);
    if (AllErased(line)) {
      ++erased_lines;
      continue;
    }
    outside += static_cast<size_t>(std::count_if(
        line.begin(), line.end(), [](uint8_t b) { return b < kVideoMin || b > kVideoMax; }));
  }
  const auto height = static_cast<size_t>(slot.height);
  if (erased_lines == height)
    return SlotReport::Erased(slot.name);
  return SlotReport::Holding(slot.name, erased_lines == 0 && outside == 0,
                             report_text::ImageDetail(height, erased_lines, outside));
}

}  // namespace qvx
