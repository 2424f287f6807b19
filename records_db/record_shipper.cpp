// The shipper's thread.
#include "records_db/record_shipper.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "records_db/database.h"
#include "records_db/migrations.h"
#include "records_db/ship_file.h"
#include "records_db/spool.h"
#include "records_db/texts.h"

namespace qvx::records_db {

RecordShipper::RecordShipper(std::string url, std::string record_path, ShipperSettings settings)
    : url_(std::move(url)), path_(std::move(record_path)), settings_(settings) {
  // Until the database says otherwise, what the file holds now counts as shipped.
  const LineCount at_start = CountWholeLines(path_, 0);
  file_lines_ = shipped_lines_ = static_cast<int64_t>(at_start.lines);
  counted_to_ = at_start.end;
  problem_ = RefusedUrl(url_);
  thread_ = std::thread([this] { Run(); });
}

RecordShipper::~RecordShipper() {
  Stop();
}

void RecordShipper::LineOnDisk(const std::string&) {
  {
    const std::lock_guard lock(mutex_);
    ++announced_;
  }
  wake_.notify_one();
}

size_t RecordShipper::unshipped() const {
  const std::lock_guard lock(mutex_);
  return static_cast<size_t>(std::max<int64_t>(0, file_lines_ - shipped_lines_)) + announced_;
}

std::optional<std::string> RecordShipper::problem() const {
  const std::lock_guard lock(mutex_);
  return problem_;
}

void RecordShipper::Stop() {
  {
    const std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_one();
  if (thread_.joinable())
    thread_.join();
}

void RecordShipper::Recount() {
  uint64_t from;
  {
    const std::lock_guard lock(mutex_);
    from = counted_to_;
    // Lines told of from now on are either in this count or told of again after it.
    announced_ = 0;
  }
  const LineCount more = CountWholeLines(path_, from);
  const std::lock_guard lock(mutex_);
  file_lines_ += static_cast<int64_t>(more.lines);
  counted_to_ = more.end;
}

void RecordShipper::Run() {
  {
    const std::lock_guard lock(mutex_);
    if (problem_)
      return;  // a connection that is refused before connecting stays refused
  }
  std::unique_ptr<Database> database;
  FileShipper file(path_, settings_.batch_lines, LastLine::kWait);
  auto retry = settings_.first_retry;
  for (bool stopping = false; !stopping;) {
    {
      const std::lock_guard lock(mutex_);
      stopping = stop_;
    }
    bool failed = false;
    Recount();
    if (database || !stopping) {
      try {
        if (!database) {
          database = std::make_unique<Database>(url_);
          Migrate(*database);
          file.Resume(*database);
          // The database knows how far the file was shipped: count from there.
          const LineCount all = CountWholeLines(path_, 0);
          const std::lock_guard lock(mutex_);
          file_lines_ = static_cast<int64_t>(all.lines);
          counted_to_ = all.end;
          shipped_lines_ = file.next_line() - 1;
          known_ = true;
        }
        ShipTally tally;
        std::vector<std::string> problems;
        for (bool more = true; more;) {
          more = file.ShipBatch(*database, tally, problems);
          const std::lock_guard lock(mutex_);
          shipped_lines_ = file.next_line() - 1;
          if (more)
            problem_ = problems.empty() ? std::nullopt : std::optional(problems.back());
        }
        retry = settings_.first_retry;
      } catch (const DatabaseError& error) {
        database.reset();
        failed = true;
        const std::lock_guard lock(mutex_);
        problem_ = text::ShipperProblem(error, known_);
      }
    }
    if (stopping)
      break;
    std::unique_lock lock(mutex_);
    if (failed) {
      // Lines told of meanwhile wait for the database, not the other way round; they are only
      // counted, at once, so the count a board shows stays true.
      const auto until = std::chrono::steady_clock::now() + retry;
      while (!stop_ && wake_.wait_until(lock, until, [this] { return stop_ || announced_ > 0; }) &&
             !stop_) {
        lock.unlock();
        Recount();
        lock.lock();
      }
      retry = std::min(retry * 2, settings_.longest_retry);
    } else {
      wake_.wait_for(lock, settings_.look_again, [this] { return stop_ || announced_ > 0; });
    }
  }
}

}  // namespace qvx::records_db
