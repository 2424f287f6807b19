// The station's shipper: a thread that forwards each line of a record file to the database once
// the line is on disk. The record file stays the spool and is always written first; the shipper
// only reads it, so a load never waits on the database. With the database unreachable, or
// refusing, the station goes on and the shipper counts the lines not yet shipped; it connects
// again (after 1 s, then twice as long each time, up to 30 s) and catches up from the file. A
// shipper started again on the same file asks the database how far the file was shipped and
// goes on from there: at least once to the database, and the lines' keys make it exactly once in
// it.
//
//   RecordShipper shipper(url, "line-4.jsonl");   // starts its thread
//   shipper.LineOnDisk(line);                      // after each line is written and synced
//   board.Show(text::NotYetShipped(shipper.unshipped()), shipper.problem());
//   shipper.Stop();                                // ships what it can at once, then ends
//
// Any whole line the file gains is shipped, whoever wrote it (a record file may be shared by
// several loaders); LineOnDisk only says that one is there, so that it goes without waiting for
// the next look at the file (once a second).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace qvx::records_db {

struct ShipperSettings {
  std::chrono::milliseconds first_retry{1000};
  std::chrono::milliseconds longest_retry{30000};
  std::chrono::milliseconds look_again{1000};  // how often the file is read for lines not told of
  size_t batch_lines = 1000;
};

class RecordShipper {
 public:
  // `url`: a postgresql:// URL or libpq's key words, without a password (RefusedUrl says so).
  // Counts the file's lines (a read of the file), then starts the thread.
  RecordShipper(std::string url, std::string record_path, ShipperSettings settings = {});
  ~RecordShipper();
  RecordShipper(const RecordShipper&) = delete;
  RecordShipper& operator=(const RecordShipper&) = delete;

  // A line of the record file is on disk (its text, without its line break). Never blocks for
  // longer than a counter's update.
  void LineOnDisk(const std::string& line);
  // Lines of the file not in the database yet. Until the database first answers it counts the
  // lines written since the shipper started, as how far the file was shipped before is not known.
  size_t unshipped() const;
  // What keeps lines from the database, in words, or a line that was not a record; nothing once a
  // batch has gone without trouble.
  std::optional<std::string> problem() const;
  // Ships what the file holds if the database is there, then ends the thread. Lines left over
  // are shipped by the next shipper of the file (or `qvx5120-records ship`).
  void Stop();

 private:
  void Run();
  void Recount();

  const std::string url_;
  const std::string path_;
  const ShipperSettings settings_;

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  size_t announced_ = 0;       // lines told of since the file was last counted
  int64_t file_lines_ = 0;     // whole lines of the file, as last counted
  uint64_t counted_to_ = 0;    // the offset counted to
  int64_t shipped_lines_ = 0;  // lines shipped through (or, until known, the lines at the start)
  bool known_ = false;         // the database said how far the file was shipped
  std::optional<std::string> problem_;

  std::thread thread_;
};

}  // namespace qvx::records_db
