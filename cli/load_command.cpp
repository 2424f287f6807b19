// Reading and checking the loader's command line.
#include "cli/load_command.h"

#include <charconv>

#include "device/flash_map.h"
#include "download/amplitude_check.h"
#include "download/bitmap_file.h"
#include "download/content_file.h"
#include "download/texts.h"
#include "encode/bmp_check.h"

namespace qvx::cli {
namespace {

// The arguments still to read, with the operation they belong to for messages.
class ArgumentReader {
 public:
  explicit ArgumentReader(std::span<const std::string> args) : args_(args) {}

  bool done() const { return next_ >= args_.size(); }

  const std::string& Take(const char* operation, const char* what) {
    if (done()) {
      throw UsageError(std::string(operation) + ": missing " + what);
    }
    return args_[next_++];
  }

  int TakeSlot(SlotKind kind) {
    const std::string name(Slot::Name(kind));
    const std::string& text = Take(name.c_str(), "slot number");
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() ||
        !Slot::FromNumber(kind, value)) {
      throw UsageError(name + " slot \"" + text + "\" is not one of " +
                       std::to_string(Slot::FirstNumber(kind)) + " to " +
                       std::to_string(Slot::LastNumber(kind)));
    }
    return value;
  }

 private:
  std::span<const std::string> args_;
  size_t next_ = 0;
};

int ToneRow(const std::string& label, int channel) {
  for (size_t row = 0; row < ToneTable.size(); ++row) {
    if (ToneTable[row].label == label)
      return static_cast<int>(row);
  }
  std::string known;
  for (const auto& choice : ToneTable)
    known += (known.empty() ? "" : " ") + std::string(choice.label);
  throw UsageError("audio channel " + std::to_string(channel) + ": \"" + label +
                   "\" is not in the frequency list (" + known + ")");
}

LoadStep ReadErase(ArgumentReader& reader) {
  LoadStep step;
  step.erase = true;
  const std::string& what = reader.Take("erase", "slot kind (picture, banner, countdown, pattern)");
  if (what == "picture") {
    step.kind = SlotKind::kPicture;
    step.slot = reader.TakeSlot(SlotKind::kPicture);
  } else if (what == "banner") {
    step.kind = SlotKind::kBanner;
    step.slot = reader.TakeSlot(SlotKind::kBanner);
  } else if (what == "countdown") {
    step.kind = SlotKind::kCountdown;
    step.slot = Slot::Countdown().number();
  } else if (what == "pattern") {
    step.kind = SlotKind::kPattern;
    step.slot = reader.TakeSlot(SlotKind::kPattern);
  } else {
    throw UsageError("erase: \"" + what + "\" is not picture, banner, countdown or pattern");
  }
  return step;
}

LoadStep ReadStep(ArgumentReader& reader, const std::string& operation) {
  LoadStep step;
  if (operation == "picture") {
    step.kind = SlotKind::kPicture;
    step.slot = reader.TakeSlot(SlotKind::kPicture);
    step.file = reader.Take("picture", "BMP file");
  } else if (operation == "banner") {
    step.kind = SlotKind::kBanner;
    step.slot = reader.TakeSlot(SlotKind::kBanner);
    step.file = reader.Take("banner", "BMP file");
  } else if (operation == "countdown") {
    step.kind = SlotKind::kCountdown;
    step.slot = Slot::Countdown().number();
    step.file = reader.Take("countdown", "BMP file");
  } else if (operation == "pattern") {
    step.kind = SlotKind::kPattern;
    step.slot = reader.TakeSlot(SlotKind::kPattern);
    step.file = reader.Take("pattern", ".tst file");
  } else if (operation == "audio") {
    step.kind = SlotKind::kAudio;
    for (int ch = 0; ch < kAudioChannels; ++ch) {
      const std::string channel = "channel " + std::to_string(ch + 1);
      step.tone_rows[ch] = ToneRow(reader.Take("audio", (channel + " frequency").c_str()), ch + 1);
      step.amplitudes[ch] = reader.Take("audio", (channel + " amplitude").c_str());
    }
  } else if (operation == "erase") {
    step = ReadErase(reader);
  } else {
    throw UsageError("\"" + operation + "\" is not an operation (see --help)");
  }
  return step;
}

// Reads the header as the download does and judges it for the step's slot.
std::optional<std::string> CheckBitmap(const LoadStep& step, ContentFile& file) {
  const bool picture = step.kind == SlotKind::kPicture;
  const char* refusal = picture ? kPictureTexts.refused : kBannerTexts.refused;
  BmpHeader header{};
  const BmpVerdict verdict = ReadBitmapHeader(file, header);
  if (!(picture ? verdict.PictureAcceptable : verdict.BannerAcceptable))
    return step.file + ": " + refusal;
  return std::nullopt;
}

}  // namespace

std::vector<LoadStep> ParseOperations(std::span<const std::string> args) {
  std::vector<LoadStep> steps;
  ArgumentReader reader(args);
  while (!reader.done()) {
    const std::string& operation = reader.Take("", "operation");
    steps.push_back(ReadStep(reader, operation));
  }
  return steps;
}

LoadCommand ParseLoadCommand(std::span<const std::string> args) {
  LoadCommand command;
  if (args.empty())
    throw UsageError("no operation given (see --help)");
  if (args.front() == "--help" || args.front() == "-h" || args.front() == "--version") {
    command.version = args.front() == "--version";
    command.help = !command.version;
    if (args.size() > 1)
      throw UsageError(command.version ? "--version takes no operations"
                                       : "--help takes no operations");
    return command;
  }
  size_t next = 0;
  auto value = [&](const char* option, const char* what) -> const std::string& {
    if (next + 1 >= args.size())
      throw UsageError(std::string(option) + ": missing " + what);
    return args[++next];
  };
  for (; next < args.size() && args[next].starts_with("--"); ++next) {
    const std::string& option = args[next];
    if (option == "--list") {
      command.list = true;
    } else if (option == "--unit") {
      command.units.push_back(value("--unit", "serial number"));
    } else if (option == "--all-units") {
      command.all_units = true;
    } else if (option == "--set") {
      if (!command.set_file.empty())
        throw UsageError("--set is given twice");
      command.set_file = value("--set", "content set file");
    } else {
      throw UsageError("\"" + option + "\" is not an option (see --help)");
    }
  }
  command.steps = ParseOperations(args.subspan(next));
  if (command.list) {
    if (command.several_units() || !command.set_file.empty() || !command.steps.empty())
      throw UsageError("--list takes no units, set or operations");
    return command;
  }
  if (command.all_units && !command.units.empty())
    throw UsageError("--unit and --all-units cannot be combined");
  if (!command.set_file.empty() && !command.steps.empty())
    throw UsageError("--set and operations cannot be combined");
  if (command.set_file.empty() && command.steps.empty())
    throw UsageError("no operation given (see --help)");
  return command;
}

std::optional<std::string> CheckStepInput(const LoadStep& step) {
  if (step.erase)
    return std::nullopt;
  if (step.kind == SlotKind::kAudio) {
    const std::vector<AmplitudeRefusal> refused = RefusedAmplitudes(step.amplitudes);
    if (!refused.empty())
      return refused.front().message;
    return std::nullopt;
  }
  try {
    const auto file = ContentFile::Open(step.file);
    if (!file)
      return step.file + ": cannot be opened for reading";
    if (step.kind == SlotKind::kPattern)
      return std::nullopt;
    return CheckBitmap(step, *file);
  } catch (const FileReadError& error) {
    return step.file + ": " + error.what();
  }
}

DownloadRequest RequestOf(const LoadStep& step) {
  if (step.kind == SlotKind::kAudio)
    return DownloadRequest::Audio({step.tone_rows, step.amplitudes});
  // The command line and content sets only make steps with a slot of their kind.
  return {Slot::FromNumber(step.kind, step.slot).value_or(Slot::FromRow(step.kind, 0)), {}};
}

std::string Describe(const LoadStep& step) {
  switch (step.kind) {
    case SlotKind::kPicture:
    case SlotKind::kBanner:
    case SlotKind::kPattern: {
      const char* name = step.kind == SlotKind::kPicture  ? "picture"
                         : step.kind == SlotKind::kBanner ? "banner"
                                                          : "pattern";
      const std::string slot = std::string(name) + " " + std::to_string(step.slot);
      return step.erase ? "erase " + slot : slot + " from " + step.file;
    }
    case SlotKind::kCountdown:
      return step.erase ? "erase countdown" : "countdown from " + step.file;
    case SlotKind::kAudio:
      break;
  }
  std::string text = "audio";
  for (int ch = 0; ch < kAudioChannels; ++ch) {
    text += (ch == 0 ? " " : ", ") + std::string(ToneTable[step.tone_rows[ch]].label) + " " +
            step.amplitudes[ch];
  }
  return text;
}

std::string LoadUsage() {
  std::string labels;
  for (const auto& choice : ToneTable)
    labels += (labels.empty() ? "" : " ") + std::string(choice.label);
  return "Usage: qvx5120-load OPERATION [OPERATION...]\n"
         "       qvx5120-load [--unit SERIAL]... [--all-units] (--set FILE | OPERATION...)\n"
         "       qvx5120-load --list\n"
         "\n"
         "Loads content into the flash of a QVX5120 generator over USB, exactly as the window's\n"
         "download buttons do. The operations run in the order given, over one connection.\n"
         "Every operation erases its slot first. The whole command line, every file and every\n"
         "amplitude are checked before anything is sent to the generator.\n"
         "\n"
         "Operations:\n"
         "  picture <1|2> <file.bmp>      720x576 or 720x480 24-bit BMP into picture 1 or 2\n"
         "                                (about a minute)\n"
         "  banner <1..8> <file.bmp>      720x72 24-bit BMP into banner 1 to 8 (about 20 s)\n"
         "  countdown <file.bmp>          720x72 24-bit BMP into the countdown banner\n"
         "  pattern <0..15> <file.tst>    the first 2880 bytes of a .tst file into test pattern\n"
         "                                0 to 15\n"
         "  audio <f1> <a1> <f2> <a2> <f3> <a3> <f4> <a4>\n"
         "                                the audio loop: for channels 1 to 4 a frequency and an\n"
         "                                amplitude in dBFS, 0 (full scale) or below\n"
         "  erase picture <1|2>, erase banner <1..8>, erase countdown, erase pattern <0..15>\n"
         "                                clear a slot: erase it and write nothing\n"
         "\n"
         "Options:\n"
         "  --list                        print the attached generators: index, serial number,\n"
         "                                description\n"
         "  --unit SERIAL                 run on the generator with this serial number; repeat\n"
         "                                it to load several generators in parallel\n"
         "  --all-units                   run on every attached generator in parallel\n"
         "  --set FILE                    run the operations of a content set (a TOML file, see\n"
         "                                docs/content-sets.md) instead of the command line's\n"
         "\n"
         "Frequencies: " +
         labels +
         "\n"
         "\n"
         "Exit status:\n"
         "  0  every operation completed\n"
         "  2  the command line is wrong (unknown operation, slot or frequency), or the content\n"
         "     set is malformed\n"
         "  3  an input was refused (on the command line or in the content set): a file that\n"
         "     cannot be read or that the slot does not take,\n"
         "     or an amplitude above 0 dBFS\n"
         "  4  the generator is not connected, or it failed during a download\n"
         "The operations stop at the first one that does not complete. With several units,\n"
         "each unit stops alone and the others carry on; the status is 0 only when every unit\n"
         "completed, otherwise the most serious of the units' statuses.\n"
         "\n"
         "Examples:\n"
         "  qvx5120-load banner 1 station-id.bmp\n"
         "  qvx5120-load picture 2 bars.bmp countdown count.bmp pattern 0 ramp.tst\n"
         "  qvx5120-load audio 1000Hz -18 1000Hz -18 Silence 0 400Hz -20\n"
         "  qvx5120-load erase banner 8 erase pattern 15\n"
         "  qvx5120-load --all-units --set station.toml\n"
         "  qvx5120-load --unit QVX00002 --unit QVX00003 banner 1 station-id.bmp\n"
         "\n"
         "Without hardware, put the virtual generator first on the library path:\n"
         "  LD_LIBRARY_PATH=build/emulator build/cli/qvx5120-load banner 1 station-id.bmp\n";
}

}  // namespace qvx::cli
