#include "doctor/run.h"

#include <fstream>
#include <optional>
#include <variant>

#include "doctor/checks.h"
#include "doctor/gather.h"
#include "doctor/render.h"
#include "doctor/texts.h"

namespace qvx::doctor {
namespace {

struct Options {
  bool json = false;
  std::optional<std::string> report;
  bool help = false;
  bool version = false;
};

// The options, or the text that says what is wrong with them.
std::variant<Options, std::string> Parse(const std::vector<std::string>& args) {
  Options options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--json") {
      options.json = true;
    } else if (arg == "--help") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "--report") {
      if (i + 1 == args.size() || args[i + 1].empty())
        return std::string(text::kReportMissing);
      options.report = args[++i];
    } else if (arg.starts_with("--report=") && arg.size() > 9) {
      options.report = arg.substr(9);
    } else {
      return text::NotAnOption(arg);
    }
  }
  return options;
}

}  // namespace

int RunDoctor(const std::vector<std::string>& args, DoctorContext& context) {
  const auto parsed = Parse(args);
  if (const auto* problem = std::get_if<std::string>(&parsed)) {
    context.err << text::kProgram << *problem << '\n';
    return kExitUsage;
  }
  const Options& options = std::get<Options>(parsed);
  if (options.help) {
    context.out << text::Usage();
    return kExitOk;
  }
  if (options.version) {
    context.out << "qvx5120-doctor " << QVX_VERSION << '\n';
    return kExitOk;
  }

  LibraryProbe probe(context.loader, context.clock, kThisPlatform);
  const Facts facts = GatherFacts(probe);
  const Report report = Diagnose(facts);
  const std::string text = RenderText(report);
  const std::string json = RenderJson(report, facts);
  context.out << (options.json ? json : text);
  if (options.report) {
    std::ofstream file(*options.report, std::ios::binary | std::ios::trunc);
    file << "qvx5120-doctor " << QVX_VERSION << "\n\n"
         << text << '\n'
         << json << '\n'
         << SystemFactsText(facts);
    file.close();
    if (!file) {
      context.err << text::kProgram << text::CannotWriteReport(*options.report, "write failed")
                  << '\n';
      return kExitProblem;
    }
  }
  return report.ok() ? kExitOk : kExitProblem;
}

}  // namespace qvx::doctor
