// ship: each file from where this database has it shipped to, a batch per transaction; a cut
// connection is made again for up to --wait seconds and shipping goes on from the database's own
// mark of the file, so a batch whose commit was lost on the way is sent again, not left out.
#include <chrono>
#include <memory>
#include <thread>

#include "records_db/migrations.h"
#include "records_db/ship_file.h"
#include "records_db/texts.h"
#include "records_tool/records_texts.h"
#include "records_tool/records_tool.h"

namespace qvx::records_tool {

using namespace records_db;
using Clock = std::chrono::steady_clock;

namespace {

// The waits between attempts to connect again: short at first, as a server restarting is back
// within seconds, then no more often than every 5 s.
constexpr std::chrono::milliseconds kFirstRetry{250};
constexpr std::chrono::milliseconds kLongestRetry{5000};

}  // namespace

int RunShip(const RecordsOptions& options, std::ostream& out, std::ostream& err) {
  const std::string& url = *options.db;
  auto database = std::make_unique<Database>(url);
  Migrate(*database);
  int status = kExitDone;
  for (const std::string& path : options.files) {
    FileShipper file(path, options.batch_lines, LastLine::kTakeIfWhole);
    file.Resume(*database);
    ShipTally tally;
    tally.before = file.next_line() - 1;
    std::vector<std::string> problems;
    for (bool more = true; more;) {
      try {
        more = file.ShipBatch(*database, tally, problems);
      } catch (const DatabaseError& error) {
        if (!error.connection_lost())
          throw;
        err << text::kProgram << text::TryingAgain(error.what(), options.wait_seconds) << '\n';
        database.reset();
        const auto deadline = Clock::now() + std::chrono::seconds(options.wait_seconds);
        for (auto wait = kFirstRetry; !database;) {
          try {
            database = std::make_unique<Database>(url);
            file.Resume(*database);
          } catch (const DatabaseError& again) {
            database.reset();
            if (!again.connection_lost() || Clock::now() + wait > deadline) {
              err << text::kProgram
                  << text::GaveUp(options.wait_seconds, path, file.next_line() - 1) << '\n';
              return kExitDatabase;
            }
            std::this_thread::sleep_for(wait);
            wait = std::min(wait * 2, kLongestRetry);
          }
        }
        err << text::kProgram << text::kConnectedAgain << '\n';
      }
      for (const std::string& problem : problems)
        err << text::kProgram << problem << '\n';
      problems.clear();
    }
    if (!file.readable()) {
      err << text::kProgram << records_db::text::Unreadable(path) << '\n';
      status = kExitUnreadable;
      continue;
    }
    out << text::Shipped(path, tally.records, tally.added, tally.skipped, tally.before) << '\n';
  }
  return status;
}

}  // namespace qvx::records_tool
