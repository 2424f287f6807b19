// Reading and checking the loader's command line.
#include "cli/load_command.h"

#include <filesystem>

#include "cli/load_prep.h"
#include "cli/load_texts.h"
#include "download/amplitude_check.h"
#include "download/bitmap_file.h"
#include "download/content_file.h"
#include "download/kinds/image_kind.h"
#include "prep/texts.h"

namespace qvx::cli {
namespace {

// The arguments still to read, with the operation they belong to for messages.
class ArgumentReader {
 public:
  explicit ArgumentReader(std::span<const std::string> args) : args_(args) {}

  bool done() const { return next_ >= args_.size(); }

  const std::string& Take(std::string_view operation, const std::string& what) {
    if (done())
      throw UsageError(std::string(operation) + text::kMissing + what);
    return args_[next_++];
  }

  Slot TakeSlot(SlotKind kind) {
    const SlotKindInfo& info = InfoOf(kind);
    if (info.count == 1)
      return Slot::FromRow(kind, 0);
    const std::string& typed = Take(info.word, text::kSlotNumberWord);
    const auto slot = Slot::Parse(kind, typed);
    if (!slot)
      throw UsageError(text::NotASlot(info.word, typed, info.first_number, info.last_number()));
    return *slot;
  }

 private:
  std::span<const std::string> args_;
  size_t next_ = 0;
};

LoadStep ReadAudio(ArgumentReader& reader) {
  AudioSettings audio;
  for (int ch = 0; ch < kAudioChannels; ++ch) {
    const std::string& label = reader.Take("audio", text::ChannelWhat(ch + 1, "frequency"));
    const auto row = ToneRowOf(label);
    if (!row)
      throw UsageError(text::NotATone(ch + 1, label));
    audio.tone_rows[ch] = *row;
    audio.amplitudes[ch] = reader.Take("audio", text::ChannelWhat(ch + 1, "amplitude"));
  }
  return LoadStep::Load(DownloadRequest::Audio(std::move(audio)));
}

LoadStep ReadStep(ArgumentReader& reader, const std::string& operation) {
  if (operation == "erase") {
    const std::string& what = reader.Take("erase", text::kEraseWhat);
    const auto kind = KindNamed(what);
    if (!kind || !InfoOf(*kind).filter)
      throw UsageError(text::NotErasable(what));
    return LoadStep::Erase(reader.TakeSlot(*kind));
  }
  const auto kind = KindNamed(operation);
  if (!kind)
    throw UsageError(text::NotAnOperation(operation));
  if (InfoOf(*kind).source == SlotSource::kTones)
    return ReadAudio(reader);
  LoadStep step = LoadStep::Load({reader.TakeSlot(*kind), {}});
  step.file = reader.Take(operation, std::string(InfoOf(*kind).file_noun));
  return step;
}

}  // namespace

std::vector<LoadStep> ParseOperations(std::span<const std::string> args) {
  std::vector<LoadStep> steps;
  ArgumentReader reader(args);
  while (!reader.done()) {
    const std::string& operation = reader.Take("", text::kOperationWord);
    steps.push_back(ReadStep(reader, operation));
  }
  return steps;
}

LoadCommand ParseLoadCommand(std::span<const std::string> args) {
  LoadCommand command;
  std::optional<prep::Fit> fit;
  if (args.empty())
    throw UsageError(text::kNoOperation);
  if (args.front() == "--help" || args.front() == "-h" || args.front() == "--version") {
    command.version = args.front() == "--version";
    command.help = !command.version;
    if (args.size() > 1)
      throw UsageError(command.version ? text::kVersionAlone : text::kHelpAlone);
    return command;
  }
  size_t next = 0;
  auto value = [&](const char* option, const char* what) -> const std::string& {
    if (next + 1 >= args.size())
      throw UsageError(option + std::string(text::kMissing) + what);
    return args[++next];
  };
  auto once = [&](std::string& field, const char* option, const char* what, const char* twice) {
    if (!field.empty())
      throw UsageError(twice);
    field = value(option, what);
  };
  for (; next < args.size() && args[next].starts_with("--"); ++next) {
    const std::string& option = args[next];
    try {
      if (ReadStationOption(args, next, command))
        continue;
    } catch (const OptionError& error) {
      throw UsageError(error.what());
    }
    if (option == "--list") {
      command.list = true;
    } else if (option == "--unit") {
      command.units.push_back(value("--unit", text::kSerialWord));
    } else if (option == "--all-units") {
      command.all_units = true;
    } else if (option == "--station") {
      command.station = true;
    } else if (option == "--pin") {
      once(command.pin_file, "--pin", text::kSetFileWord, text::kPinTwice);
    } else if (option == "--fit") {
      fit = FitOption(value("--fit", prep::text::kFitModes));
    } else {
      throw UsageError(text::NotAnOption(option));
    }
  }
  command.steps = ParseOperations(args.subspan(next));
  if (fit && !command.set_file.empty())
    throw UsageError(prep::text::kFitWithSet);
  ApplyFit(command.steps, fit);
  if (!command.pin_file.empty()) {
    if (next != 2 || !command.steps.empty())
      throw UsageError(text::kPinAlone);
    return command;
  }
  if (!command.station) {
    if (command.stop_after)
      throw UsageError(text::StationOnly("--stop-after"));
    if (!command.ship_url.empty())
      throw UsageError(text::StationOnly("--ship"));
    if (command.serves())
      throw UsageError(text::StationOnly(command.server_options.front().first));
  }
  if (command.station && (command.list || command.several_units()))
    throw UsageError(text::kStationExclusive);
  if (command.list) {
    if (command.several_units() || !command.set_file.empty() || !command.steps.empty())
      throw UsageError(text::kListAlone);
    return command;
  }
  if (command.all_units && !command.units.empty())
    throw UsageError(text::kUnitsExclusive);
  if (!command.set_file.empty() && !command.steps.empty())
    throw UsageError(text::kSetExclusive);
  if (command.set_file.empty() && command.steps.empty())
    throw UsageError(text::kNoOperation);
  return command;
}

}  // namespace qvx::cli
