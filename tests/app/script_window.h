// The Qt window played by a window script (tests/windows/script.h), the Linux twin of the Win32
// driver: the real MainDialog whose boxes, file dialogs and About boxes are answered by the
// script's next step instead of a user, logging what it shows in the driver's format.
//
// The window runs a download synchronously, so the script is played from two places: the steps
// that act on the window run from Play() until one of them starts a download; inside it, every
// title and progress change is a moment when the Win32 window would pump its queue, and there
// the steps that the driver would already have sent (input, a wait-title that now holds) run.
// The boxes and dialogs take the next step when they appear.
#pragma once

#include <string>
#include <vector>

#include "app/main_dialog.h"
#include "tests/windows/script.h"

namespace qvx::test {

class ScriptWindow : public MainDialog {
 public:
  ScriptWindow(Clock& clock, LibraryLoader& loader, std::vector<script::Step> steps);

  // Shows the window, plays every step, then closes the window unless a step closed it. False
  // when a step failed.
  bool Play();

  void SetTitle(std::string_view title) override;
  void SetProgress(int position) override;

 protected:
  void PresentBox(QMessageBox& box) override;
  std::optional<QString> PresentFileDialog(QFileDialog& dialog) override;
  void PresentAbout(AboutDialog& about) override;

 private:
  const script::Step* Next() const;
  // Runs the steps the driver would have sent by now, while a download runs.
  void CatchUp();
  // Runs one step that acts on the window or checks its state.
  bool Act(const script::Step& step);
  // The next step when it is of `kind` (or `other`), else a failure for the window that came.
  const script::Step* Take(script::StepKind kind, script::StepKind other,
                           const std::string& window);
  void Fail(const script::Step& step, const std::string& why);
  bool Idle() const;
  // Logs the title and the bar's position where they differ from those last logged, as the
  // driver's polling does, while the window is on screen.
  void Watch();
  int Progress() const;

  std::vector<script::Step> steps_;
  size_t next_ = 0;
  bool failed_ = false;
  bool closed_ = false;
  std::string last_title_;
  int last_progress_ = 0;  // the bar's position before anything moves it
};

}  // namespace qvx::test
