// Building blocks of the operation frame.
#include "download/frame.h"

namespace qvx {

void DisableButtons(WindowPort& window) {
  window.EnableDownloadButtons(false);
  window.ShowWaitCursor();
}

void EnableButtons(WindowPort& window) {
  window.EnableDownloadButtons(true);
  window.ShowArrowCursor();
}

void ReportComplete(WindowPort& window) {
  window.ShowInformation(kDownloadCompleteText, kDownloadCompleteCaption);
  window.SetTitle(kResetTitle);
}

}  // namespace qvx
