// Shipping one record file, batch by batch, from where this database has it shipped to: the
// tool's `ship` runs it to the file's end, the station's shipper after each line on disk. Lines
// that are not records are named ("FILE:LINE: ...") and passed over; nothing else is left out.
#pragma once

#include <cstdint>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "records_db/database.h"
#include "records_db/ship_batch.h"
#include "records_db/spool.h"

namespace qvx::records_db {

// What shipping a file did so far.
struct ShipTally {
  size_t records = 0;  // record lines sent
  size_t added = 0;    // of them, the ones the database did not hold yet
  size_t skipped = 0;  // lines that are not records
  // Lines shipped before, by an earlier run, which this one did not read again.
  int64_t before = 0;
};

// The last line of a file without its line break: a tool shipping the file to its end takes it
// if it is a whole record (and reads it again next time); a shipper following a file being
// written waits for the rest of it.
enum class LastLine { kTakeIfWhole, kWait };

class FileShipper {
 public:
  FileShipper(std::string path, size_t batch_lines, LastLine last_line);
  ~FileShipper();
  FileShipper(const FileShipper&) = delete;
  FileShipper& operator=(const FileShipper&) = delete;

  // Asks the database how far this file was shipped and goes on from there (from the start for
  // a file it never saw, or one that no longer has that many lines). Throws DatabaseError.
  void Resume(Database& database);
  // Ships the next batch of lines in one transaction; false when the file has no more for now.
  // Every line that is not a record is added to `problems`. Throws DatabaseError.
  bool ShipBatch(Database& database, ShipTally& tally, std::vector<std::string>& problems);

  const std::string& path() const { return path_; }
  const std::string& source() const { return source_; }
  uint64_t offset() const { return offset_; }  // shipped through here
  int64_t next_line() const { return next_line_; }
  bool readable() const { return readable_; }

 private:
  // The lines of one batch, read and parsed, and where they end.
  struct Batch {
    std::vector<RecordRow> rows;
    std::vector<std::string> named;  // the lines that are not records, or kept as text
    size_t skipped = 0;
    uint64_t end = 0;
    int64_t last = 0;
    bool unterminated = false;  // the file's last line, without its break
  };
  // The next batch from where the reader stands; nothing when the file has no more for now.
  std::optional<Batch> Read();
  // Drops the batch read ahead and the reader: the next batch is read from offset_ again.
  void Forget();

  std::string path_;
  std::string source_;  // "<host>:<absolute path>"
  size_t batch_lines_;
  LastLine last_line_;
  std::optional<std::string> head_;
  std::unique_ptr<SpoolReader> reader_;
  uint64_t offset_ = 0;
  int64_t next_line_ = 1;
  bool readable_ = true;
  bool last_taken_ = false;                  // the line without a break, once taken
  std::future<std::optional<Batch>> ahead_;  // the next batch, being read
};

// The name a file is shipped from on this machine: "<host>:<absolute path>".
std::string SourceOf(const std::string& path);

}  // namespace qvx::records_db
