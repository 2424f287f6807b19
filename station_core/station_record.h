// The station's records: a line that begins each unit's load, written before anything is sent
// to the unit; a line per attempt at each step; a line per step the load never reached; and a
// line that ends the load ("passed", "failed", "pulled" or "cut off"). Every line names the
// socket, the load and the set, so a load cut off by a crash shows as a beginning without an end.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "content/step.h"
#include "records/record.h"
#include "station/events.h"

namespace qvx::station_core {

using content::FileFacts;
using content::LoadStep;
using records::RecordFile;
using records::StationFacts;
using records::StepRecord;

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

}  // namespace qvx::station_core
