// Building blocks of the operation frame.
#include "download/frame.h"

#include "download/controls.h"

namespace qvx {

void DisableButtons(WindowPort& window) {
  for (int id : control::kDownloadButtons)
    window.EnableControl(id, false);
  window.ShowWaitCursor();
}

void EnableButtons(WindowPort& window) {
  for (int id : control::kDownloadButtons)
    window.EnableControl(id, true);
  window.ShowArrowCursor();
}

void ReportComplete(WindowPort& window) {
  window.ShowInformation(kDownloadCompleteText, kDownloadCompleteCaption);
  window.SetTitle(kResetTitle);
}

}  // namespace qvx
