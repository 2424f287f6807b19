// The station on the loader's terminal: a board of the sockets redrawn in place (a row per socket:
// port, serial, state, operation, progress, time; the totals under it), or where standard output
// is not a terminal, one line per event.
#pragma once

#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "station/events.h"
#include "station/socket.h"

namespace qvx::cli {

class StationBoard final : public station::StationEvents {
 public:
  enum class Style { kBoard, kLines };
  StationBoard(std::ostream& out, Style style, std::vector<std::string> operation_names)
      : out_(out), board_(style == Style::kBoard), names_(std::move(operation_names)) {}

  // Redraws the board over the previous one, with `note` (how the records stand) under the totals
  // when it is not empty; nothing in the one-line-per-event style.
  void Draw(const std::vector<station::SocketView>& sockets, const station::Totals& totals,
            const std::string& note = {});
  // A line of the station's own (its stop, how its records stand), in the one-line-per-event style;
  // the board shows such things itself.
  void Note(const std::string& text);
  // The totals, once the station has stopped.
  void Finish(const station::Totals& totals);

  void Plugged(const station::SocketView& socket) override;
  void LoadStarting(const station::SocketView& socket) override;
  void AttemptEnded(const station::SocketView& socket,
                    const station::AttemptReport& report) override;
  void LoadEnded(const station::SocketView& socket) override;
  void Emptied(const station::SocketView& socket) override;

 private:
  void Line(const station::SocketView& socket, const std::string& text);

  std::mutex mutex_;  // the events come from the station's threads, the board from the loader's
  std::ostream& out_;
  bool board_;
  std::vector<std::string> names_;
  int drawn_lines_ = 0;
};

// "Passed 3, failed 1, pulled 0; 41.5 units per hour".
std::string TotalsLine(const station::Totals& totals);

}  // namespace qvx::cli
