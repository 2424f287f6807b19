// The frame every download runs in, and the way to each kind's own download.
#include "download/downloads.h"

#include "download/frame.h"
#include "download/progress.h"
#include "download/waits.h"

namespace qvx {

Outcome Downloads::Run(const DownloadRequest& request) {
  return request.slot.info().module.download(*this, request);
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
  link_.WaitSeconds(wait::kLoadingMode);
}

}  // namespace qvx
