// The flash reader's commands.
#include "cli/flash_tool.h"

#include <initializer_list>
#include <optional>
#include <stdexcept>

#include "cli/flash_report.h"
#include "cli/flash_texts.h"
#include "download/kinds/image_slots.h"
#include "download/kinds/slot.h"
#include "flash/flash_file.h"
#include "flash/flash_files.h"
#include "flash/flash_image.h"

namespace qvx::cli {

using flash::DecodeAudio;
using flash::DecodeImage;
using flash::FlashImage;
using flash::ImageSlot;
using flash::kWavSampleRate;
using flash::kWavSeconds;
using flash::StoredPattern;
using flash::WriteBytes;
using flash::WritePng;
using flash::WriteWav;

namespace {

using flash_text::kProgram;

class Usage : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The slot `text` names among the kinds given; the flash viewer takes the countdown as banner 9.
Slot SlotNamed(const std::string& text, const char* what, std::initializer_list<SlotKind> kinds) {
  for (SlotKind kind : kinds) {
    if (const auto slot = Slot::Parse(kind, text))
      return *slot;
  }
  throw Usage(flash_text::NotASlot(what, text, Slot::FirstNumber(*kinds.begin()),
                                   Slot::LastNumber(*(kinds.end() - 1))));
}

// The command and its operands, with the arity checked.
struct Command {
  std::string name;
  std::vector<std::string> operands;
};

Command ReadCommand(std::span<const std::string> args) {
  if (args.empty())
    throw Usage(flash_text::kNoCommand);
  Command command{args.front(), {args.begin() + 1, args.end()}};
  const size_t arity =
      command.name == "info"    ? 0
      : command.name == "audio" ? 1
      : command.name == "picture" || command.name == "banner" || command.name == "pattern"
          ? 2
          : SIZE_MAX;
  if (arity == SIZE_MAX)
    throw Usage(flash_text::NotACommand(command.name));
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

int Run(const Command& command, const FlashImage& flash, std::ostream& out, std::ostream& err) {
  const auto& operands = command.operands;
  if (command.name == "info") {
    const auto reports = InspectFlash(flash);
    out << FormatReport(reports);
    for (const auto& report : reports) {
      if (!report.passed)
        return kFlashSlotProblem;
    }
    return kFlashDone;
  }
  if (command.name == "picture" || command.name == "banner") {
    const ImageSlot slot = ImageSlotOf(
        command.name == "picture"
            ? SlotNamed(operands[0], "picture", {SlotKind::kPicture})
            : SlotNamed(operands[0], "banner", {SlotKind::kBanner, SlotKind::kCountdown}));
    if (InspectImage(flash, slot).erased)
      return Erased(err, slot.name);
    WritePng(DecodeImage(flash, slot), operands[1]);
    out << flash_text::Written(slot.name, operands[1]) << '\n';
    return kFlashDone;
  }
  if (command.name == "pattern") {
    const int number = SlotNamed(operands[0], "pattern", {SlotKind::kPattern}).row();
    const SlotReport report = InspectPattern(flash, number);
    if (report.erased)
      return Erased(err, report.slot);
    WriteBytes(StoredPattern(flash, number), operands[1]);
    out << flash_text::Written(report.slot, operands[1]) << '\n';
    return kFlashDone;
  }
  // audio
  if (InspectAudio(flash).erased)
    return Erased(err, "Audio");
  WriteWav(DecodeAudio(flash), kWavSeconds, operands[0]);
  out << flash_text::AudioWritten(operands[0], kWavSeconds, kWavSampleRate) << '\n';
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
