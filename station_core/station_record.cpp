// Writing the records of a unit's load.
#include "station_core/station_record.h"

#include <chrono>

#include "content/exit_status.h"
#include "records/texts.h"
#include "station/texts.h"
#include "station_core/texts.h"

namespace qvx::station_core {

using namespace content;
using namespace records;
using station::AttemptEnd;
using station::LoadEnd;

int StatusOf(AttemptEnd end) {
  switch (end) {
    case AttemptEnd::kCompleted:
      return kExitCompleted;
    case AttemptEnd::kRefused:
      return kExitRefused;
    case AttemptEnd::kFailed:
    case AttemptEnd::kNotConnected:
    case AttemptEnd::kPulled:
    case AttemptEnd::kCutOff:
      break;
  }
  return kExitDevice;
}

StationRecorder::StationRecorder(RecordWriter* writer, const StationFacts& facts,
                                 const std::vector<LoadStep>& steps,
                                 const std::map<std::string, FileFacts>& files)
    : writer_(writer), facts_(facts), steps_(steps), files_(files) {}

StepRecord StationRecorder::Record(const station::SocketView& socket, const LoadStep* step,
                                   int attempt) const {
  StepRecord record;
  record.started = std::chrono::system_clock::now();
  record.serial = socket.serial;
  record.description = socket.description;
  record.step = step;
  if (step != nullptr) {
    if (const auto found = files_.find(step->file); found != files_.end())
      record.file = found->second;
  }
  record.station = StationPlace{&facts_,      socket.port,
                                socket.label, writer_->run() + "-" + std::to_string(socket.load),
                                attempt,      step == nullptr ? steps_.size() : 0};
  return record;
}

bool StationRecorder::Begin(const station::SocketView& socket) {
  if (writer_ == nullptr)
    return true;
  StepRecord record = Record(socket, nullptr, 0);
  record.outcome = records::text::kStarted;
  return writer_->AppendNow(record) == RecordWriter::Written::kOnDisk;
}

void StationRecorder::AttemptEnded(const station::SocketView& socket,
                                   const station::AttemptReport& report) {
  if (writer_ == nullptr || report.operation >= steps_.size())
    return;
  StepRecord record = Record(socket, &steps_[report.operation], report.attempt);
  record.started = report.started;
  record.seconds = report.seconds;
  record.outcome = station::text::AttemptWord(report.end);
  record.exit_status = StatusOf(report.end);
  if (report.end != AttemptEnd::kCompleted)
    record.reason = report.reason;
  writer_->Append(record);
}

void StationRecorder::LoadEnded(const station::SocketView& socket) {
  if (writer_ == nullptr)
    return;
  const LoadEnd end = socket.end.value_or(LoadEnd::kFailed);
  const int status = end == LoadEnd::kPassed ? kExitCompleted : StatusOf(socket.last);
  for (size_t i = socket.operation + 1; i < steps_.size(); ++i) {
    StepRecord skipped = Record(socket, &steps_[i], 0);
    skipped.outcome = records::text::kSkipped;
    skipped.exit_status = status;
    writer_->Append(skipped);
  }
  StepRecord record = Record(socket, nullptr, 0);
  record.outcome = station::text::EndWord(end);
  record.exit_status = status;
  record.seconds = socket.seconds;
  record.reason = socket.reason;
  writer_->Append(record);
}

StepRecord ControlRecord(const StationFacts& facts, const std::string& what,
                         const std::string& from) {
  StepRecord record;
  record.started = std::chrono::system_clock::now();
  record.description = what;
  record.station = StationPlace{&facts, "", "", "", 0, 0};
  record.outcome = station_core::text::kControlOutcome;
  record.reason = station_core::text::ControlFrom(from);
  return record;
}

}  // namespace qvx::station_core
