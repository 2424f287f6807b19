// The flash reader's commands.
#include "cli/flash_tool.h"

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <variant>
#include <vector>

#include "cli/flash_report.h"
#include "cli/flash_texts.h"
#include "download/kinds/slot.h"
#include "flash/flash_file.h"
#include "flash/flash_files.h"
#include "flash/flash_image.h"

namespace qvx::cli {

using flash::FlashImage;
using flash::kWavSampleRate;
using flash::kWavSeconds;
using flash::WriteBytes;
using flash::WritePng;
using flash::WriteWav;

namespace {

using flash_text::kProgram;

class Usage : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The kinds whose slots the flash viewer's command `word` writes out, in the table's order; the
// viewer takes the countdown as banner 9.
std::vector<SlotKind> KindsOfCommand(std::string_view word) {
  std::vector<SlotKind> kinds;
  for (const SlotKindInfo& info : kSlotKinds) {
    if (info.viewer_word == word)
      kinds.push_back(info.kind);
  }
  return kinds;
}

// Whether the command's kinds have more than one slot, so that it takes a slot number.
bool TakesSlotNumber(const std::vector<SlotKind>& kinds) {
  int slots = 0;
  for (SlotKind kind : kinds)
    slots += InfoOf(kind).count;
  return slots > 1;
}

// The slot `text` names among the command's kinds.
Slot SlotNamed(const std::string& text, const std::string& command,
               const std::vector<SlotKind>& kinds) {
  for (SlotKind kind : kinds) {
    if (const auto slot = Slot::Parse(kind, text))
      return *slot;
  }
  throw Usage(flash_text::NotASlot(command, text, Slot::FirstNumber(kinds.front()),
                                   Slot::LastNumber(kinds.back())));
}

// The command and its operands, with the arity checked: `info`, or a kind's command with its slot
// number where it has more than one, and the file to write.
struct Command {
  std::string name;
  std::vector<std::string> operands;
  std::vector<SlotKind> kinds;
};

Command ReadCommand(std::span<const std::string> args) {
  if (args.empty())
    throw Usage(flash_text::kNoCommand);
  Command command{args.front(), {args.begin() + 1, args.end()}, KindsOfCommand(args.front())};
  if (command.name != "info" && command.kinds.empty())
    throw Usage(flash_text::NotACommand(command.name));
  const size_t arity = command.kinds.empty() ? 0 : (TakesSlotNumber(command.kinds) ? 2 : 1);
  if (command.operands.size() != arity) {
    throw Usage(flash_text::Arity(command.name, arity));
  }
  return command;
}

std::string ImagePath(std::optional<std::string> given, int unit) {
  if (given)
    return *given;
  if (auto path = flash::FlashPathFromEnvironment(unit))
    return *path;
  throw Usage(flash_text::kNoImage);
}

int Erased(std::ostream& err, const std::string& slot) {
  err << kProgram << flash_text::Erased(slot) << '\n';
  return kFlashSlotProblem;
}

// Writes a slot's content to `path` in its own file format and says so: an image as a PNG, the
// audio loop as a WAV file, a pattern's bytes as they are.
struct WriteOut {
  const std::string& slot;
  const std::string& path;
  std::ostream& out;

  void operator()(const std::vector<BmpLine>& rows) const {
    WritePng(rows, path);
    out << flash_text::Written(slot, path) << '\n';
  }
  void operator()(const flash::AudioSamples& loop) const {
    WriteWav(loop, kWavSeconds, path);
    out << flash_text::AudioWritten(path, kWavSeconds, kWavSampleRate) << '\n';
  }
  void operator()(const std::vector<uint8_t>& bytes) const {
    WriteBytes(bytes, path);
    out << flash_text::Written(slot, path) << '\n';
  }
};

int Run(const Command& command, const FlashImage& flash, std::ostream& out, std::ostream& err) {
  const auto& operands = command.operands;
  if (command.kinds.empty()) {  // info
    const auto reports = InspectFlash(flash);
    out << FormatReport(reports);
    for (const auto& report : reports) {
      if (!report.passed)
        return kFlashSlotProblem;
    }
    return kFlashDone;
  }
  const Slot slot = operands.size() == 2 ? SlotNamed(operands[0], command.name, command.kinds)
                                         : Slot::FromRow(command.kinds.front(), 0);
  const KindModule& module = slot.info().module;
  const SlotReport report = module.inspect(flash, slot);
  if (report.erased)
    return Erased(err, report.slot);
  std::visit(WriteOut{report.slot, operands.back(), out}, module.stored(flash, slot));
  return kFlashDone;
}

}  // namespace

int RunFlashTool(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  try {
    if (!args.empty() && (args.front() == "--help" || args.front() == "-h")) {
      out << flash_text::FlashUsage();
      return kFlashDone;
    }
    if (args.size() == 1 && args.front() == "--version") {
      out << "qvx5120-flash " QVX_VERSION "\n";
      return kFlashDone;
    }
    std::optional<std::string> image;
    int unit = 0;
    while (!args.empty() && (args.front() == "--image" || args.front() == "--unit")) {
      if (args.size() < 2)
        throw Usage(flash_text::NeedsValue(args.front()));
      if (args.front() == "--image") {
        image = args[1];
      } else if (const auto index = flash::UnitIndex(args[1], flash::kMaxUnits)) {
        unit = *index;
      } else {
        throw Usage(flash_text::NotAVirtualSerial(args[1]));
      }
      args = args.subspan(2);
    }
    const Command command = ReadCommand(args);
    const std::string path = ImagePath(image, unit);
    std::error_code error;
    // The virtual generator writes its flash file at the first load; before that there is none.
    if (const auto type = std::filesystem::status(path, error).type();
        !image && type == std::filesystem::file_type::not_found) {
      err << kProgram << flash_text::NoFlashFileYet(path) << '\n';
      return kFlashFileError;
    } else if (type == std::filesystem::file_type::directory) {
      err << kProgram << flash_text::ImageIsAFolder(path) << '\n';
      return kFlashFileError;
    }
    try {
      return Run(command, FlashImage::Load(path), out, err);
    } catch (const std::runtime_error& error) {
      if (dynamic_cast<const Usage*>(&error) != nullptr)
        throw;
      err << kProgram << error.what() << '\n';
      return kFlashFileError;
    }
  } catch (const Usage& error) {
    err << kProgram << error.what() << '\n';
    return kFlashUsage;
  }
}

}  // namespace qvx::cli
