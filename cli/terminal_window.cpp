// The terminal's window interface.
#include "cli/terminal_window.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "cli/load_texts.h"
#include "download/frame.h"
#include "station/socket_window.h"

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

void TerminalWindow::BeginOperation(size_t index, size_t count, const station::Operation& operation,
                                    int attempt) {
  operation_ = &operation;
  last_message_.clear();
  Note(text::StepCount(index, count) + operation.description +
       (attempt > 1 ? text::AttemptNote(attempt) : std::string()));
}

void TerminalWindow::Release(Held what) {
  holding_ = false;
  const std::vector<Kept> kept = std::exchange(kept_, {});
  if (what == Held::kDrop)
    return;
  for (const Kept& shown : kept) {
    if (shown.is_box)
      ShowInformation(shown.text, {});
    else
      Note(shown.text);
  }
}

void TerminalWindow::Note(const std::string& text) {
  if (holding_) {
    kept_.push_back({false, text});
    return;
  }
  EndBar();
  out_ << text << '\n';
  out_.flush();
}

void TerminalWindow::ShowMessage(std::string_view text) {
  // A failure's box, kept as its reason.
  last_message_ = text;
  ShowInformation(text, {});
}

void TerminalWindow::ShowInformation(std::string_view text, std::string_view) {
  if (holding_) {
    kept_.push_back({true, std::string(text)});
    return;
  }
  EndBar();
  out_.flush();
  err_ << text << '\n';
  err_.flush();
}

void TerminalWindow::SetTitle(std::string_view title) {
  // The idle title after each download says nothing new on a terminal.
  if (title == kResetTitle)
    return;
  Note(std::string(title));
}

void TerminalWindow::SetProgress(int position) {
  if (holding_ || position == last_position_)
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
  return station::OperationFile(operation_);
}

}  // namespace qvx::cli
