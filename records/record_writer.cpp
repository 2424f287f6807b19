// Writing records whole, synced, and held while the file cannot take them.
#include "records/record_writer.h"

#include <algorithm>
#include <random>

#include "records/texts.h"

namespace qvx::records {

std::string NewRunId() {
  std::random_device random;
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string id;
  for (int word = 0; word < 4; ++word) {
    const uint32_t bits = random();
    for (int shift = 28; shift >= 0; shift -= 4)
      id += kDigits[(bits >> shift) & 15];
  }
  return id;
}

RecordWriter::RecordWriter(std::string path, RecordStore& store, std::ostream* log)
    : path_(std::move(path)), store_(store), log_(log), run_(NewRunId()) {}

std::string RecordWriter::LineOf(const StepRecord& record) {
  return RecordLine(record, RecordKey{run_, ++seq_});
}

bool RecordWriter::WriteOne(const std::string& line) {
  const auto failure = store_.AppendWhole(path_, line + '\n');
  health_.failing = failure.has_value();
  if (failure) {
    health_.reason = *failure;
    return false;
  }
  longest_line_ = std::max<uint64_t>(longest_line_, line.size() + 1);
  const auto room = store_.RoomLeft(path_);
  health_.room_lines = room ? std::optional<uint64_t>(*room / longest_line_) : std::nullopt;
  health_.low_on_room = health_.room_lines && *health_.room_lines < kLowRoomLines;
  if (written_)
    written_(line);
  return true;
}

bool RecordWriter::FlushHeld() {
  while (!held_.empty()) {
    if (!WriteOne(held_.front()))
      return false;
    held_.pop_front();
  }
  health_.held = 0;
  return true;
}

void RecordWriter::Hold(std::string line) {
  if (log_ != nullptr)
    *log_ << text::RecordHeld(path_, line) << std::flush;
  held_.push_back(std::move(line));
  health_.held = held_.size();
  health_.ever_held = true;
}

RecordWriter::Written RecordWriter::Append(const StepRecord& record) {
  const std::lock_guard lock(mutex_);
  std::string line = LineOf(record);
  if (FlushHeld() && WriteOne(line))
    return Written::kOnDisk;
  Hold(std::move(line));
  return Written::kHeld;
}

RecordWriter::Written RecordWriter::AppendNow(const StepRecord& record) {
  const std::lock_guard lock(mutex_);
  if (!FlushHeld())
    return Written::kNotWritten;
  // The sequence number is taken only by a line that is written, so the run's numbers stay whole.
  const std::string line = RecordLine(record, RecordKey{run_, seq_ + 1});
  if (!WriteOne(line))
    return Written::kNotWritten;
  ++seq_;
  return Written::kOnDisk;
}

bool RecordWriter::Retry() {
  const std::lock_guard lock(mutex_);
  if (!held_.empty())
    return FlushHeld();
  if (health_.failing) {
    // Nothing is held, but the last line tried (one that is never held) failed: a file that may
    // be written again, with room for a line, may take the next one, which decides.
    const auto room = store_.RoomLeft(path_);
    if (room && *room >= longest_line_ && store_.Writable(path_)) {
      health_.failing = false;
      health_.room_lines = *room / longest_line_;
    }
  }
  return true;
}

RecordHealth RecordWriter::health() const {
  const std::lock_guard lock(mutex_);
  return health_;
}

}  // namespace qvx::records
