// The loader's command line on arbitrary arguments: the input is the argument list, the arguments
// separated by NUL bytes (which no argument can hold), as qvx5120-load receives them after the
// program name.
//
// Invariants: the parse ends in a UsageError with a message, or in a command that says what to
// run: --help or --version alone; --list alone; otherwise either a content set or operations, never
// both, and never --unit with --all-units. Every step names a slot of its kind (the countdown as
// 9), a load step names its file, an erase step none, an audio step four rows of the frequency
// list; the request each step makes is for that slot; and the operations, written back as
// arguments, parse to the same steps.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/load_command.h"

namespace {

using qvx::SlotKind;
using qvx::cli::LoadStep;

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

bool SameStep(const LoadStep& a, const LoadStep& b) {
  return a == b;
}

const char* OperationName(SlotKind kind) {
  switch (kind) {
    case SlotKind::kPicture:
      return "picture";
    case SlotKind::kBanner:
      return "banner";
    case SlotKind::kCountdown:
      return "countdown";
    case SlotKind::kPattern:
      return "pattern";
    case SlotKind::kAudio:
      break;
  }
  return "audio";
}

// The arguments that ask for `step`, as the usage text describes them.
void WriteBack(const LoadStep& step, std::vector<std::string>& args) {
  if (step.erase)
    args.emplace_back("erase");
  args.emplace_back(OperationName(step.kind()));
  if (step.kind() == SlotKind::kAudio) {
    for (size_t ch = 0; ch < step.request.audio.tone_rows.size(); ++ch) {
      args.emplace_back(
          qvx::ToneTable[static_cast<size_t>(step.request.audio.tone_rows[ch])].label);
      args.push_back(step.request.audio.amplitudes[ch]);
    }
    return;
  }
  if (step.kind() != SlotKind::kCountdown)
    args.push_back(std::to_string(step.request.slot.number()));
  if (!step.erase)
    args.push_back(step.file);
}

void CheckStep(const LoadStep& step) {
  if (step.kind() == SlotKind::kAudio) {
    Require(!step.erase && step.file.empty(), "an audio step loads, from no file");
    for (int row : step.request.audio.tone_rows)
      Require(row >= 0 && static_cast<size_t>(row) < qvx::ToneTable.size(),
              "an audio step takes rows of the frequency list");
    const qvx::DownloadRequest request = step.request;
    Require(request.slot.kind() == SlotKind::kAudio &&
                request.audio.tone_rows == step.request.audio.tone_rows &&
                request.audio.amplitudes == step.request.audio.amplitudes,
            "the audio request carries the step's rows and amplitudes");
  } else {
    if (step.kind() == SlotKind::kCountdown)
      Require(step.request.slot.number() == qvx::Slot::Countdown().number(),
              "the countdown is slot 9");
    else
      Require(qvx::Slot::FromNumber(step.kind(), step.request.slot.number()).has_value(),
              "a step names a slot of its kind");
    Require(!step.erase || step.file.empty(), "an erase names no file");
    const qvx::DownloadRequest request = step.request;
    Require(
        request.slot.kind() == step.kind() && request.slot.number() == step.request.slot.number(),
        "the request is for the step's slot");
  }
  Require(!qvx::cli::Describe(step).empty(), "every step describes itself");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> args;
  if (size > 0) {
    args.emplace_back();
    for (size_t i = 0; i < size; ++i) {
      if (data[i] == 0)
        args.emplace_back();
      else
        args.back().push_back(static_cast<char>(data[i]));
    }
  }

  qvx::cli::LoadCommand command;
  try {
    command = qvx::cli::ParseLoadCommand(args);
  } catch (const qvx::cli::UsageError& error) {
    Require(*error.what() != '\0', "a usage error says what is wrong");
    return 0;
  }

  if (command.help || command.version) {
    Require(command.help != command.version && args.size() == 1,
            "--help and --version stand alone");
    Require(command.steps.empty() && command.units.empty() && command.set_file.empty() &&
                !command.list && !command.all_units,
            "--help and --version run nothing");
    return 0;
  }
  if (command.list) {
    Require(!command.several_units() && command.set_file.empty() && command.steps.empty(),
            "--list runs nothing else");
    return 0;
  }
  if (!command.pin_file.empty()) {
    Require(command.steps.empty() && command.set_file.empty() && !command.station &&
                !command.several_units(),
            "--pin takes a content set and nothing else");
    return 0;
  }
  Require(!command.station || !command.several_units(), "never --station with units");
  Require(!(command.all_units && !command.units.empty()), "never --unit with --all-units");
  Require(command.set_file.empty() != command.steps.empty(),
          "a command runs either a content set or operations");
  for (const LoadStep& step : command.steps)
    CheckStep(step);

  // The operations written back as arguments read as the same steps.
  std::vector<std::string> again;
  for (const LoadStep& step : command.steps)
    WriteBack(step, again);
  const std::vector<LoadStep> reread = qvx::cli::ParseOperations(again);
  Require(reread.size() == command.steps.size(), "the steps written back read as many steps");
  for (size_t i = 0; i < reread.size(); ++i)
    Require(SameStep(reread[i], command.steps[i]), "the steps written back read the same");
  return 0;
}
