// The records of a unit's load, the same whoever runs it (the station, or the loader for one
// generator, --unit and --all-units): a line that begins the load, on disk before anything is
// sent to the unit; a line per attempt at each step; a line per step the load never reached; and a
// line that ends the load ("passed", "failed", "pulled" or "cut off"). Every line names the
// socket, the load and the set, so a load cut off by a crash shows as a beginning without an end.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "content/step.h"
#include "records/record.h"
#include "records/record_writer.h"
#include "station/events.h"

namespace qvx::station_core {

using content::FileFacts;
using content::LoadStep;
using records::RecordWriter;
using records::StationFacts;
using records::StepRecord;

class StationRecorder final : public station::StationEvents {
 public:
  // Does nothing without a record writer (and every load may begin).
  StationRecorder(RecordWriter* writer, const StationFacts& facts,
                  const std::vector<LoadStep>& steps,
                  const std::map<std::string, FileFacts>& files);

  // The line that begins the load, on disk now: false when it could not be written (nothing may be
  // sent to the unit then). Never held for later.
  bool Begin(const station::SocketView& socket);
  void AttemptEnded(const station::SocketView& socket,
                    const station::AttemptReport& report) override;
  void LoadEnded(const station::SocketView& socket) override;

  RecordWriter* writer() const { return writer_; }

 private:
  StepRecord Record(const station::SocketView& socket, const LoadStep* step, int attempt) const;

  RecordWriter* writer_;
  const StationFacts& facts_;
  const std::vector<LoadStep>& steps_;
  const std::map<std::string, FileFacts>& files_;
};

// The line of a control request that came from elsewhere (`what`: "stop", "label L"; `from`: the
// client's address), to be written before the request is carried out.
StepRecord ControlRecord(const StationFacts& facts, const std::string& what,
                         const std::string& from);

// The exit status a load or one attempt that ended this way gives (0, 3 or 4).
int StatusOf(station::AttemptEnd end);

}  // namespace qvx::station_core
