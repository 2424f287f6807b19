// The window interface on a terminal: the step titles and a progress bar on standard output
// (redrawn in place on a terminal, one line per change otherwise), the message boxes on standard
// error, and the file dialog answered from the command line's current step.
#pragma once

#include <ostream>
#include <string>

#include "cli/load_command.h"
#include "port/window_port.h"

namespace qvx::cli {

class TerminalWindow final : public WindowPort {
 public:
  // How the progress bar is drawn: redrawn on one line (standard output is a terminal), or one
  // line per change (a log or a pipe).
  enum class Bar { kInPlace, kLines };

  TerminalWindow(std::ostream& out, std::ostream& err, Bar bar)
      : out_(out), err_(err), in_place_(bar == Bar::kInPlace) {}

  // The step whose file the file dialog gives from now on.
  void SetStep(const LoadStep& step) { step_ = step; }
  // A line of the loader's own; ends a bar being redrawn.
  void Note(const std::string& text);
  // Ends a bar being redrawn, so the next output starts on a line of its own.
  void EndBar();

  void ShowMessage(std::string_view text) override;
  void ShowInformation(std::string_view text, std::string_view caption) override;
  void SetTitle(std::string_view title) override;
  void SetProgress(int position) override;
  // Buttons, cursors and repaints have nothing to show on a terminal.
  void EnableDownloadButtons(bool) override {}
  void ShowWaitCursor() override {}
  void ShowArrowCursor() override {}
  void Repaint() override { out_.flush(); }

  // The amplitudes typed are the ones shown; a terminal has nothing to rewrite.
  void ShowAmplitude(int, std::string_view) override {}
  // The step's file; a cancel for an erase.
  std::optional<std::string> ChooseFile(const FileFilter& filter) override;

 private:
  std::ostream& out_;
  std::ostream& err_;
  bool in_place_;
  LoadStep step_;
  bool bar_open_ = false;
  int last_position_ = -1;
};

// "[########                      ]  25%": 30 cells, one per 3 1/3 percent.
std::string ProgressBar(int position);

}  // namespace qvx::cli
