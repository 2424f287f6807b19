// Drawing the station's board and its event lines.
#include "cli/station_board.h"

#include <cmath>
#include <cstdio>

#include "cli/load_texts.h"
#include "cli/terminal_window.h"
#include "station/texts.h"

namespace qvx::cli {

using station::SocketState;
using station::SocketView;

std::string TotalsLine(const station::Totals& totals) {
  char text[128];
  std::snprintf(text, sizeof text, text::kStationTotals, totals.passed, totals.failed,
                totals.pulled, totals.units_per_hour);
  return text;
}

void StationBoard::Draw(const std::vector<SocketView>& sockets, const station::Totals& totals,
                        const std::string& note) {
  if (!board_)
    return;
  std::string board;
  // Back to the top of the last board, which is then written over.
  if (drawn_lines_ > 0)
    board += "\x1b[" + std::to_string(drawn_lines_) + "F\x1b[J";
  board += text::kBoardHeading;
  for (const SocketView& socket : sockets) {
    std::string operation;
    std::string progress;
    if (socket.state == SocketState::kLoading && socket.operation < names_.size()) {
      operation = std::to_string(socket.operation + 1) + "/" + std::to_string(socket.operations) +
                  " " + names_[socket.operation];
      if (socket.attempt > 1)
        operation += text::AttemptNote(socket.attempt);
      progress = ProgressBar(socket.progress);
    } else if (socket.state == SocketState::kFailed || socket.state == SocketState::kWaiting) {
      operation = socket.reason;
    }
    if (operation.size() > 40)
      operation = operation.substr(0, 39) + "~";
    const bool shows_time = socket.state != SocketState::kEmpty;
    char row[256];
    std::snprintf(row, sizeof row, "%-10s %-10s %-8s %-40s %-37s %s\n", socket.port.c_str(),
                  socket.serial.c_str(), station::text::StateWord(socket.state), operation.c_str(),
                  progress.c_str(),
                  shows_time ? station::text::MinutesSeconds(socket.seconds).c_str() : "");
    board += row;
  }
  board += TotalsLine(totals) + '\n';
  drawn_lines_ = static_cast<int>(sockets.size()) + 2;
  if (!note.empty()) {
    board += note + '\n';
    ++drawn_lines_;
  }
  const std::lock_guard lock(mutex_);
  out_ << board << std::flush;
}

void StationBoard::Note(const std::string& text) {
  if (board_)
    return;
  const std::lock_guard lock(mutex_);
  out_ << text << '\n' << std::flush;
}

void StationBoard::Finish(const station::Totals& totals) {
  if (board_)
    return;
  const std::lock_guard lock(mutex_);
  out_ << TotalsLine(totals) << '\n' << std::flush;
}

void StationBoard::Line(const SocketView& socket, const std::string& text) {
  if (board_)
    return;
  const std::lock_guard lock(mutex_);
  out_ << text::SocketLine(socket.port, socket.serial) << text << '\n' << std::flush;
}

void StationBoard::Plugged(const SocketView& socket) {
  Line(socket, text::kPluggedIn);
}

void StationBoard::LoadStarting(const SocketView& socket) {
  Line(socket, text::LoadingNote(socket.operations, socket.label));
}

void StationBoard::AttemptEnded(const SocketView& socket, const station::AttemptReport& report) {
  const std::string& name = report.operation < names_.size() ? names_[report.operation] : "";
  Line(socket, text::AttemptLine(report.operation, socket.operations, name, report.attempt,
                                 station::text::AttemptWord(report.end), report.reason));
}

void StationBoard::LoadEnded(const SocketView& socket) {
  const auto end = socket.end.value_or(station::LoadEnd::kFailed);
  Line(socket,
       text::LoadEndLine(station::text::EndWord(end), station::text::MinutesSeconds(socket.seconds),
                         end == station::LoadEnd::kPassed ? "" : socket.reason));
}

void StationBoard::Emptied(const SocketView& socket) {
  Line(socket, text::kSocketFree);
}

}  // namespace qvx::cli
