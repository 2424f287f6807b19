// A station set up to load a content set: the set's files copied once and prepared, every step
// checked, the records opened, and the station itself run as often as it is started. The loader's
// --station and the station windows are front ends of this one session, so their loads and
// records are the same for the same plugs. A record counts once it is on disk: no load begins
// before its first line is, and while the record file cannot take lines the station starts no
// load (the running ones finish, their lines held until the file takes them again).
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "content/content_set.h"
#include "content/snapshot.h"
#include "device/library_loader.h"
#include "records/record.h"
#include "records/record_writer.h"
#include "station/load_gate.h"
#include "station/station.h"
#include "station_core/station_record.h"

namespace qvx::station_core {

using content::ContentSet;
using content::Snapshots;
using records::RecordHealth;

struct StationSetup {
  // The set's file, for the records (its absolute path and hash); empty when the steps came from
  // elsewhere.
  std::string set_file;
  std::string operator_name;
  std::string work_order;
  // Where records go: this file, else the set's `record`, else nowhere.
  std::string record_file;
  // Further attempts at an operation that failed through a device fault: this, else the set's.
  std::optional<int> retries;
  std::optional<int> stop_after;
  // The clock of each load; empty: real time.
  std::function<std::unique_ptr<Clock>(const station::SocketView&)> unit_clock;
  // Where a record line that has to be held goes at once, so it is kept somewhere (standard error);
  // null: nowhere.
  std::ostream* held_log = nullptr;
  // The file system under the records; null: the system's.
  records::RecordStore* record_store = nullptr;
  // How often the units are listed; nothing: the station's own interval.
  std::optional<std::chrono::milliseconds> poll_interval;
};

class StationSession {
 public:
  // `front_end` hears every event after the records have been written; it may be null.
  StationSession(LibraryLoader& library, station::StationEvents* front_end);
  StationSession(const StationSession&) = delete;
  StationSession& operator=(const StationSession&) = delete;

  // Copies the set's files, prepares pictures that need it (a note for each on `notes`) and checks
  // every step. Returns why the set cannot be loaded, nothing having been sent, or nothing.
  std::optional<std::string> Prepare(ContentSet set, StationSetup setup, std::ostream& notes);

  // A station over the prepared steps, to run until stopped; one run at a time. Its `usable()`
  // says whether the driver library could be loaded.
  std::unique_ptr<station::Station> NewStation();

  const std::vector<LoadStep>& steps() const { return set_.steps; }
  const StationFacts& facts() const { return facts_; }
  // How the record file stands; nothing when there is none.
  std::optional<RecordHealth> Records() const;
  // The record writer, for what follows the lines (a shipper, a network view); null without one.
  RecordWriter* writer() { return writer_ ? &*writer_ : nullptr; }

 private:
  // Records first, then the front end.
  class Events final : public station::StationEvents {
   public:
    explicit Events(StationSession& session) : session_(session) {}
    void Plugged(const station::SocketView& s) override;
    void LoadStarting(const station::SocketView& s) override;
    void AttemptEnded(const station::SocketView& s, const station::AttemptReport& r) override;
    void LoadEnded(const station::SocketView& s) override;
    void Emptied(const station::SocketView& s) override;

   private:
    StationSession& session_;
  };
  // No load while the records are held back; each load's first line on disk before it begins.
  class Gate final : public station::LoadGate {
   public:
    explicit Gate(StationSession& session) : session_(session) {}
    bool MayStart() override;
    bool Admit(const station::SocketView& socket) override;

   private:
    StationSession& session_;
  };

  LibraryLoader& library_;
  station::StationEvents* front_end_;
  Events events_{*this};
  Gate gate_{*this};
  ContentSet set_;
  StationSetup setup_;
  StationFacts facts_;
  Snapshots snapshots_;
  std::optional<RecordWriter> writer_;
  std::optional<StationRecorder> recorder_;
};

// What the loader's steps run on a station: each step's request, file, erase and description.
std::vector<station::Operation> OperationsOf(const std::vector<LoadStep>& steps);

}  // namespace qvx::station_core
