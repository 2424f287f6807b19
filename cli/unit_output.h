// Where the units of a parallel load write: each unit gets its own pair of streams (standard
// output and standard error, as a TerminalWindow uses them) that end in one shared output. On a
// terminal every unit keeps one live status line, redrawn in place; otherwise every line is
// printed whole, prefixed with the unit's serial number. Safe to use from one thread per unit.
#pragma once

#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

namespace qvx::cli {

class UnitOutput {
 public:
  // `live`: `out` is a terminal, so the status lines are redrawn in place.
  UnitOutput(std::ostream& out, std::ostream& err, bool live, std::vector<std::string> serials);
  ~UnitOutput();
  UnitOutput(const UnitOutput&) = delete;
  UnitOutput& operator=(const UnitOutput&) = delete;

  std::ostream& Out(size_t unit);
  std::ostream& Err(size_t unit);
  // Ends the live lines and prints the messages the units gave while they were shown, each
  // prefixed with its serial number. Nothing after this is shown live.
  void Finish();

 private:
  class UnitLines;
  enum class Stream { kOut, kErr };

  // A line a unit ended, and a change of the line it is still writing (a bar redrawn in place).
  void EndedLine(size_t unit, Stream stream, const std::string& text);
  void ChangedLine(size_t unit, const std::string& text);
  void ShowStatus(size_t unit, const std::string& text);
  void Redraw();

  std::ostream& out_;
  std::ostream& err_;
  bool live_;
  std::vector<std::string> serials_;
  std::vector<std::unique_ptr<UnitLines>> buffers_;  // two per unit: output, error
  std::vector<std::unique_ptr<std::ostream>> streams_;
  std::mutex mutex_;
  std::vector<std::string> status_;    // the live line of each unit
  std::vector<std::string> messages_;  // error lines kept until the live lines end
  bool drawn_ = false;
  bool finished_ = false;
};

}  // namespace qvx::cli
