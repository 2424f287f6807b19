// The flash reader's commands.
#include "cli/flash_tool.h"

#include <initializer_list>
#include <optional>
#include <stdexcept>

#include "cli/flash_files.h"
#include "cli/flash_image.h"
#include "cli/flash_report.h"
#include "device/slot.h"
#include "emulator/flash_file.h"

namespace qvx::cli {
namespace {

constexpr const char* kProgram = "qvx5120-flash: ";

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
  throw Usage(std::string(what) + " \"" + text + "\" is not one of " +
              std::to_string(Slot::FirstNumber(*kinds.begin())) + " to " +
              std::to_string(Slot::LastNumber(*(kinds.end() - 1))));
}

// The command and its operands, with the arity checked.
struct Command {
  std::string name;
  std::vector<std::string> operands;
};

Command ReadCommand(std::span<const std::string> args) {
  if (args.empty())
    throw Usage("no command given (see --help)");
  Command command{args.front(), {args.begin() + 1, args.end()}};
  const size_t arity =
      command.name == "info"    ? 0
      : command.name == "audio" ? 1
      : command.name == "picture" || command.name == "banner" || command.name == "pattern"
          ? 2
          : SIZE_MAX;
  if (arity == SIZE_MAX)
    throw Usage("\"" + command.name + "\" is not a command (see --help)");
  if (command.operands.size() != arity) {
    throw Usage(command.name + " takes " + std::to_string(arity) +
                (arity == 1 ? " operand" : " operands") + " (see --help)");
  }
  return command;
}

std::string ImagePath(std::optional<std::string> given, int unit) {
  if (given)
    return *given;
  if (auto path = vg::FlashPathFromEnvironment(unit))
    return *path;
  throw Usage("no flash image: give --image FILE (QVX_VG_FLASH=none keeps the flash in memory)");
}

int Erased(std::ostream& err, const std::string& slot) {
  err << kProgram << slot << " is erased; nothing written\n";
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
    out << slot.name << " written to " << operands[1] << '\n';
    return kFlashDone;
  }
  if (command.name == "pattern") {
    const int number = SlotNamed(operands[0], "pattern", {SlotKind::kPattern}).row();
    const SlotReport report = InspectPattern(flash, number);
    if (report.erased)
      return Erased(err, report.slot);
    WriteBytes(StoredPattern(flash, number), operands[1]);
    out << report.slot << " written to " << operands[1] << '\n';
    return kFlashDone;
  }
  // audio
  if (InspectAudio(flash).erased)
    return Erased(err, "Audio");
  WriteWav(DecodeAudio(flash), kWavSeconds, operands[0]);
  out << "Audio loop written to " << operands[0] << " (" << kWavSeconds << " s, 4 channels, "
      << kWavSampleRate << " Hz)\n";
  return kFlashDone;
}

}  // namespace

int RunFlashTool(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  try {
    if (!args.empty() && (args.front() == "--help" || args.front() == "-h")) {
      out << FlashUsage();
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
        throw Usage(args.front() +
                    (args.front() == "--image" ? " needs a file" : " needs a serial"));
      if (args.front() == "--image") {
        image = args[1];
      } else if (const auto index = vg::UnitIndex(args[1], vg::kMaxUnits)) {
        unit = *index;
      } else {
        throw Usage("\"" + args[1] + "\" is not a virtual generator's serial number");
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

std::string FlashUsage() {
  return "Usage: qvx5120-flash [--image FILE] COMMAND\n"
         "       qvx5120-flash --unit SERIAL COMMAND\n"
         "\n"
         "Shows what a QVX5120 flash image holds: the virtual generator's flash file, or any\n"
         "4 MiB dump in the same layout. Without --image it reads the virtual generator's file\n"
         "($QVX_VG_FLASH, else $XDG_STATE_HOME/qvx5120/virtual-generator-flash.bin, by default\n"
         "~/.local/state/qvx5120/virtual-generator-flash.bin); --unit SERIAL reads another\n"
         "virtual unit's file instead (QVX00002: virtual-generator-flash-QVX00002.bin beside it,\n"
         "or <file>.QVX00002 for a file named by QVX_VG_FLASH).\n"
         "\n"
         "Commands:\n"
         "  info                          a table of every slot: erased, or holding content, with\n"
         "                                checks (video bytes within 16..235; audio words with\n"
         "                                even parity, status and block-start bits as expected)\n"
         "  picture <1|2> <out.png>       picture 1 or 2 decoded into a 720x576 RGB image\n"
         "  banner <1..9> <out.png>       banner 1 to 8, or 9 for the countdown, as 720x72\n"
         "  audio <out.wav>               the audio loop, repeated for 3 seconds, as a 4-channel\n"
         "                                48 kHz WAV with the 20-bit samples exact\n"
         "  pattern <0..15> <out.tst>     the 2880 stored bytes of a test pattern\n"
         "\n"
         "The decoded images are close to what was loaded, not equal: the generator stores\n"
         "4:2:2 YCbCr with one colour sample per pixel pair.\n"
         "\n"
         "Exit status:\n"
         "  0  done (info: every slot holding content passed its checks)\n"
         "  1  the flash image cannot be read, or the output cannot be written\n"
         "  2  the command line is wrong\n"
         "  3  info: a slot failed its checks; other commands: the slot is erased\n"
         "\n"
         "Examples:\n"
         "  qvx5120-flash info\n"
         "  qvx5120-flash banner 1 banner1.png\n"
         "  qvx5120-flash --image dump.bin audio loop.wav\n";
}

}  // namespace qvx::cli
