// The station's records: a line that begins each unit's load, written before anything is sent
// to the unit; a line per attempt at each step; a line per step the load never reached; and a
// line that ends the load ("passed", "failed", "pulled" or "cut off"). Every line names the
// socket, the load and the set, so a load cut off by a crash shows as a beginning without an end.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "cli/load_command.h"
#include "cli/record.h"
#include "station/events.h"

namespace qvx::cli {

class StationRecorder final : public station::StationEvents {
 public:
  // Does nothing without a record file.
  StationRecorder(RecordFile* file, const StationFacts& facts, const std::vector<LoadStep>& steps,
                  const std::map<std::string, FileFacts>& files);

  void LoadStarting(const station::SocketView& socket) override;
  void AttemptEnded(const station::SocketView& socket,
                    const station::AttemptReport& report) override;
  void LoadEnded(const station::SocketView& socket) override;

 private:
  StepRecord Record(const station::SocketView& socket, const LoadStep* step, int attempt) const;

  RecordFile* file_;
  const StationFacts& facts_;
  const std::vector<LoadStep>& steps_;
  const std::map<std::string, FileFacts>& files_;
  std::string run_;  // tells this station's loads from another's in a shared file
};

// Delivers each event to two front ends in turn.
class BothEvents final : public station::StationEvents {
 public:
  BothEvents(station::StationEvents& first, station::StationEvents& second)
      : first_(first), second_(second) {}
  void Plugged(const station::SocketView& s) override {
    first_.Plugged(s);
    second_.Plugged(s);
  }
  void LoadStarting(const station::SocketView& s) override {
    first_.LoadStarting(s);
    second_.LoadStarting(s);
  }
  void AttemptEnded(const station::SocketView& s, const station::AttemptReport& r) override {
    first_.AttemptEnded(s, r);
    second_.AttemptEnded(s, r);
  }
  void LoadEnded(const station::SocketView& s) override {
    first_.LoadEnded(s);
    second_.LoadEnded(s);
  }
  void Emptied(const station::SocketView& s) override {
    first_.Emptied(s);
    second_.Emptied(s);
  }

 private:
  station::StationEvents& first_;
  station::StationEvents& second_;
};

}  // namespace qvx::cli
