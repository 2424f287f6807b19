// The window interface on a terminal: a note as each operation begins, the step titles and a
// progress bar on standard output (redrawn in place on a terminal, one line per change otherwise),
// the message boxes on standard error, and the file dialog answered from the current operation.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "port/window_port.h"
#include "station/unit_window.h"

namespace qvx::cli {

class TerminalWindow final : public station::UnitWindow {
 public:
  // How the progress bar is drawn: redrawn on one line (standard output is a terminal), or one
  // line per change (a log or a pipe).
  enum class Bar { kInPlace, kLines };

  TerminalWindow(std::ostream& out, std::ostream& err, Bar bar)
      : out_(out), err_(err), in_place_(bar == Bar::kInPlace) {}

  // "[2/5] banner 1 from id.bmp" (with " (attempt 2)" on a retry); the operation's file is what
  // the file dialog gives from now on.
  void BeginOperation(size_t index, size_t count, const station::Operation& operation,
                      int attempt) override;
  const std::string& last_message() const override { return last_message_; }
  void HoldBack() override { holding_ = true; }
  void Release(Held what) override;
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
  // The operation's file; a cancel for an erase.
  std::optional<std::string> ChooseFile(const FileFilter& filter) override;

 private:
  std::ostream& out_;
  std::ostream& err_;
  bool in_place_;
  // What to show once a hold ends: a line for standard output (a title) or standard error (a box).
  struct Kept {
    bool is_box = false;
    std::string text;
  };

  const station::Operation* operation_ = nullptr;
  std::string last_message_;
  bool holding_ = false;
  std::vector<Kept> kept_;
  bool bar_open_ = false;
  int last_position_ = -1;
};

// "[########                      ]  25%": 30 cells, one per 3 1/3 percent.
std::string ProgressBar(int position);

}  // namespace qvx::cli
