// Setting a station up over a content set.
#include "station_core/station_session.h"

#include <filesystem>

#include "content/file_facts.h"
#include "content/load_prep.h"

namespace qvx::station_core {

using namespace content;
using namespace records;

std::vector<station::Operation> OperationsOf(const std::vector<LoadStep>& steps) {
  std::vector<station::Operation> operations;
  for (const LoadStep& step : steps)
    operations.push_back({step.request, step.source(), step.erase, Describe(step)});
  return operations;
}

StationSession::StationSession(LibraryLoader& library, station::StationEvents* front_end)
    : library_(library), front_end_(front_end) {}

std::optional<std::string> StationSession::Prepare(ContentSet set, StationSetup setup,
                                                   std::ostream& notes) {
  set_ = std::move(set);
  setup_ = std::move(setup);
  if (const auto refusal = snapshots_.Take(set_.steps))
    return refusal;
  if (const auto refusal = PrepareInMemory(set_.steps, notes))
    return refusal;
  for (const LoadStep& step : set_.steps) {
    if (const auto refusal = CheckStepInput(step))
      return refusal;
  }

  facts_ = {setup_.operator_name, setup_.work_order, {}, {}};
  if (!setup_.set_file.empty()) {
    std::error_code error;
    facts_.set_path = std::filesystem::absolute(setup_.set_file, error).string();
    facts_.set_sha256 = Sha256OfFile(setup_.set_file).value_or("");
  }
  const std::string& record_path =
      setup_.record_file.empty() ? set_.record_file : setup_.record_file;
  if (!record_path.empty()) {
    writer_.emplace(record_path,
                    setup_.record_store != nullptr ? *setup_.record_store : SystemRecordStore(),
                    setup_.held_log);
  }
  recorder_.emplace(writer_ ? &*writer_ : nullptr, facts_, set_.steps, snapshots_.facts());
  return std::nullopt;
}

std::unique_ptr<station::Station> StationSession::NewStation() {
  station::StationSettings settings;
  settings.operations = OperationsOf(set_.steps);
  settings.retries = setup_.retries.value_or(set_.retries.value_or(0));
  settings.stop_after = setup_.stop_after;
  settings.unit_clock = setup_.unit_clock;
  if (setup_.poll_interval)
    settings.poll_interval = *setup_.poll_interval;
  return std::make_unique<station::Station>(std::move(settings), library_, events_, &gate_);
}

std::optional<RecordHealth> StationSession::Records() const {
  if (!writer_)
    return std::nullopt;
  return writer_->health();
}

bool StationSession::Gate::MayStart() {
  if (!session_.writer_)
    return true;
  // Held lines go first: a look at which they all reach the file lets loads start again.
  if (!session_.writer_->Retry())
    return false;
  return !session_.writer_->health().failing;
}

bool StationSession::Gate::Admit(const station::SocketView& socket) {
  return session_.recorder_->Begin(socket);
}

void StationSession::Events::Plugged(const station::SocketView& s) {
  if (session_.front_end_)
    session_.front_end_->Plugged(s);
}

void StationSession::Events::LoadStarting(const station::SocketView& s) {
  // The load's first line is already on disk (Gate::Admit).
  if (session_.front_end_)
    session_.front_end_->LoadStarting(s);
}

void StationSession::Events::AttemptEnded(const station::SocketView& s,
                                          const station::AttemptReport& r) {
  session_.recorder_->AttemptEnded(s, r);
  if (session_.front_end_)
    session_.front_end_->AttemptEnded(s, r);
}

void StationSession::Events::LoadEnded(const station::SocketView& s) {
  session_.recorder_->LoadEnded(s);
  if (session_.front_end_)
    session_.front_end_->LoadEnded(s);
}

void StationSession::Events::Emptied(const station::SocketView& s) {
  if (session_.front_end_)
    session_.front_end_->Emptied(s);
}

}  // namespace qvx::station_core
