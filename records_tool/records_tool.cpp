// The commands that ask: find, summary and export, over files or the database; and migrate.
#include "records_tool/records_tool.h"

#include <memory>

#include "records_db/migrations.h"
#include "records_db/record_source.h"
#include "records_db/texts.h"
#include "records_tool/csv_output.h"
#include "records_tool/find_output.h"
#include "records_tool/records_texts.h"
#include "records_tool/summary_output.h"

namespace qvx::records_tool {
namespace {

using namespace records_db;

void Answer(const RecordsOptions& options, RecordSource& source, std::ostream& out) {
  if (options.command == "summary") {
    const auto rows = source.Summarize(*options.filter.work_order);
    out << (options.json ? SummaryJson(*options.filter.work_order, rows)
                         : SummaryTable(*options.filter.work_order, rows));
    return;
  }
  const auto loads = source.Find(options.filter);
  if (options.command == "export") {
    WriteCsv(out, loads);
    return;
  }
  for (const Load& load : loads)
    out << (options.json ? LoadJson(load) : LoadLine(load)) << '\n';
}

int Ask(const RecordsOptions& options, std::ostream& out, std::ostream& err) {
  if (!options.db) {
    FileSource files(options.files);
    Answer(options, files, out);
    for (const std::string& problem : files.problems())
      err << text::kProgram << problem << '\n';
    return files.problems().empty() ? kExitDone : kExitUnreadable;
  }
  Database database(*options.db);
  if (options.command == "migrate") {
    const int applied = Migrate(database);
    out << text::MigratedTo(VersionOf(database), applied) << '\n';
    return kExitDone;
  }
  DatabaseSource source(database);
  Answer(options, source, out);
  return kExitDone;
}

}  // namespace

int RunRecordsTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  auto parsed = ParseRecordsOptions(args);
  if (const auto* wrong = std::get_if<std::string>(&parsed)) {
    err << text::kProgram << *wrong << '\n';
    return kExitUsage;
  }
  const RecordsOptions& options = std::get<RecordsOptions>(parsed);
  if (options.help) {
    out << text::RecordsUsage();
    return kExitDone;
  }
  if (options.version) {
    out << "qvx5120-records " << QVX_VERSION << '\n';
    return kExitDone;
  }
  try {
    if (options.command == "ship")
      return RunShip(options, out, err);
    return Ask(options, out, err);
  } catch (const DatabaseError& error) {
    out.flush();
    err << text::kProgram
        << (error.connection_lost() ? std::string(error.what())
                                    : records_db::text::Refused(error.what()))
        << '\n';
    return kExitDatabase;
  }
}

}  // namespace qvx::records_tool
