// The terminal's window interface.
#include "cli/terminal_window.h"

#include <algorithm>
#include <cstdio>

#include "download/frame.h"

namespace qvx::cli {

std::string ProgressBar(int position) {
  constexpr int kCells = 30;
  const int clamped = std::clamp(position, 0, 100);
  const int filled = clamped * kCells / 100;
  char percent[8];
  std::snprintf(percent, sizeof percent, "%4d%%", clamped);
  return "[" + std::string(filled, '#') + std::string(kCells - filled, ' ') + "]" + percent;
}

void TerminalWindow::EndBar() {
  if (bar_open_) {
    out_ << '\n';
    bar_open_ = false;
  }
  last_position_ = -1;
}

void TerminalWindow::Note(const std::string& text) {
  EndBar();
  out_ << text << '\n';
  out_.flush();
}

void TerminalWindow::ShowMessage(std::string_view text) {
  EndBar();
  out_.flush();
  err_ << text << '\n';
  err_.flush();
}

void TerminalWindow::ShowInformation(std::string_view text, std::string_view) {
  ShowMessage(text);
}

void TerminalWindow::SetTitle(std::string_view title) {
  // The idle title after each download says nothing new on a terminal.
  if (title == kResetTitle)
    return;
  Note(std::string(title));
}

void TerminalWindow::SetProgress(int position) {
  if (position == last_position_)
    return;
  last_position_ = position;
  if (in_place_) {
    out_ << '\r' << ProgressBar(position);
    bar_open_ = true;
  } else {
    out_ << ProgressBar(position) << '\n';
  }
  out_.flush();
}

std::optional<std::string> TerminalWindow::ChooseFile(const FileFilter&) {
  if (step_.erase || step_.file.empty())
    return std::nullopt;
  return step_.source();
}

}  // namespace qvx::cli
