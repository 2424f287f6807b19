// What the device link and the download operations show the user while they run, and the one
// question they ask (which file). The user's other choices reach an operation as its request
// before it starts. The Qt window and the terminal implement it; tests implement it with a
// recorder that also scripts the user's answers.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qvx {

// A file-open dialog filter: the display name and the pattern, e.g. "Banner files(*.bmp)", "*.bmp".
struct FileFilter {
  std::string_view name;
  std::string_view pattern;
};

class WindowPort {
 public:
  virtual ~WindowPort() = default;

  // Modal box owned by the main window: OK button, no icon, the application's title as caption.
  virtual void ShowMessage(std::string_view text) = 0;
  // Modal box with a caption of its own, an OK button and the information icon.
  virtual void ShowInformation(std::string_view text, std::string_view caption) = 0;

  virtual void SetTitle(std::string_view title) = 0;
  virtual void SetProgress(int position) = 0;
  // The window's five download buttons, switched together in their fixed order.
  virtual void EnableDownloadButtons(bool enabled) = 0;
  // Each cursor change also raises the platform's cursor display count by one.
  virtual void ShowWaitCursor() = 0;
  virtual void ShowArrowCursor() = 0;
  // Repaints the main window at once.
  virtual void Repaint() = 0;

  // The amplitude of audio channel 1..4 as the audio download read it ("%.3f").
  virtual void ShowAmplitude(int channel, std::string_view text) = 0;

  // Modal file-open dialog (existing files, read-only check box hidden). Empty when cancelled.
  virtual std::optional<std::string> ChooseFile(const FileFilter& filter) = 0;
};

}  // namespace qvx
