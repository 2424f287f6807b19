// The test pattern kind: its download (two erases, the settling bar, the file written in one
// CMD_WRITE_PATTERN) and what the flash viewer reads back of it.
#include <array>

#include "download/downloads.h"
#include "download/frame.h"
#include "download/kinds/inspect.h"
#include "download/kinds/report_texts.h"
#include "download/kinds/slot_checks.h"
#include "download/progress.h"
#include "download/waits.h"

namespace qvx {

using flash::FlashImage;
using flash::StoredPattern;

namespace {

Outcome Download(Downloads& downloads, const DownloadRequest& request) {
  return downloads.DownloadTestPattern(request.slot);
}

SlotReport Inspect(const FlashImage& flash, const Slot& slot) {
  return InspectPattern(flash, slot.row());
}

StoredContent Stored(const FlashImage& flash, const Slot& slot) {
  const auto bytes = StoredPattern(flash, slot.row());
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

}  // namespace

const KindModule kPatternModule{Download, Inspect, Stored, nullptr};

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
      link_.WaitSeconds(wait::kLoadingMode);
      ErasePattern(slot);
      link_.SendEndLoad();
      window_.SetProgress(progress::kIdle);

      for (int position : progress::kPatternSettling) {
        window_.SetProgress(position);
        link_.WaitSeconds(wait::kPatternBarStep);
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
    link_.WaitSeconds(wait::kPatternBarStep);
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
  link_.WaitSeconds(wait::kSectorErase);
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

SlotReport InspectPattern(const FlashImage& flash, int number) {
  const auto bytes = StoredPattern(flash, number);
  const std::string name = report_text::PatternSlot(number);
  if (AllErased(bytes))
    return SlotReport::Erased(name);
  return SlotReport::Holding(name, true, report_text::PatternDetail(bytes.size()));
}

}  // namespace qvx
