// Reading window scripts and formatting the log lines; see script.h.
#include "tests/windows/script.h"

#include <charconv>
#include <sstream>

namespace qvx::script {
namespace {

// What follows a step's name on its line.
enum class Arguments { kNone, kId, kIdNumber, kIdText, kText, kNumber };

struct StepSpec {
  std::string_view name;
  StepKind kind;
  Arguments arguments;
};

constexpr StepSpec kSteps[] = {
    {"select", StepKind::kSelect, Arguments::kIdNumber},
    {"type", StepKind::kType, Arguments::kIdText},
    {"click", StepKind::kClick, Arguments::kId},
    {"key", StepKind::kKey, Arguments::kText},
    {"syscommand", StepKind::kSysCommand, Arguments::kId},
    {"close", StepKind::kClose, Arguments::kNone},
    {"pause", StepKind::kPause, Arguments::kNumber},
    {"file", StepKind::kFile, Arguments::kText},
    {"cancel-file", StepKind::kCancelFile, Arguments::kNone},
    {"box", StepKind::kBox, Arguments::kNone},
    {"about", StepKind::kAbout, Arguments::kNone},
    {"wait-title", StepKind::kWaitTitle, Arguments::kText},
    {"wait-idle", StepKind::kWaitIdle, Arguments::kNone},
    {"expect-closed", StepKind::kExpectClosed, Arguments::kNone},
};

std::optional<int> Number(std::string_view word) {
  int value = 0;
  const auto [end, failure] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (failure != std::errc() || end != word.data() + word.size() || word.empty())
    return std::nullopt;
  return value;
}

// The first word of `rest`, which then holds what follows it after one space.
std::string_view TakeWord(std::string_view& rest) {
  const size_t end = rest.find(' ');
  const std::string_view word = rest.substr(0, end);
  rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  return word;
}

// One step from a line that is not blank or a comment; the reason it is malformed otherwise.
std::optional<Step> ReadStep(std::string_view line, std::string& why) {
  std::string_view rest = line;
  const std::string_view name = TakeWord(rest);
  for (const StepSpec& entry : kSteps) {
    if (entry.name != name)
      continue;
    Step step;
    step.kind = entry.kind;
    step.source = std::string(line);
    if (entry.arguments == Arguments::kId || entry.arguments == Arguments::kIdNumber ||
        entry.arguments == Arguments::kIdText) {
      const auto id = Number(TakeWord(rest));
      if (!id) {
        why = "a number must follow " + std::string(name);
        return std::nullopt;
      }
      step.id = *id;
    }
    if (entry.arguments == Arguments::kIdNumber || entry.arguments == Arguments::kNumber) {
      const auto number = Number(TakeWord(rest));
      if (!number) {
        why = entry.arguments == Arguments::kNumber
                  ? "milliseconds must follow " + std::string(name)
                  : "a row number must follow the list";
        return std::nullopt;
      }
      step.number = *number;
    }
    if (entry.arguments == Arguments::kIdText || entry.arguments == Arguments::kText) {
      step.text = std::string(rest);
      rest = {};
    }
    if (!rest.empty()) {
      why = "unexpected words after " + std::string(name);
      return std::nullopt;
    }
    if (entry.kind == StepKind::kKey && !VirtualKey(step.text)) {
      why = "unknown key " + step.text;
      return std::nullopt;
    }
    if ((entry.kind == StepKind::kFile || entry.kind == StepKind::kWaitTitle) &&
        step.text.empty()) {
      why = std::string(name) + " needs a text";
      return std::nullopt;
    }
    return step;
  }
  why = "unknown step " + std::string(name);
  return std::nullopt;
}

}  // namespace

std::optional<int> VirtualKey(std::string_view name) {
  for (const KeyName& key : kKeyNames) {
    if (key.name == name)
      return key.virtual_key;
  }
  return std::nullopt;
}

std::optional<std::vector<Step>> ReadScript(std::istream& in, std::string& error) {
  std::vector<Step> steps;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    // Scripts written on Windows end their lines in CR LF.
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    if (line.empty() || line.front() == '#')
      continue;
    std::string why;
    std::optional<Step> step = ReadStep(line, why);
    if (!step) {
      error = "line " + std::to_string(number) + ": " + why;
      return std::nullopt;
    }
    step->line = number;
    steps.push_back(std::move(*step));
  }
  return steps;
}

bool IsWait(StepKind kind) {
  switch (kind) {
    case StepKind::kFile:
    case StepKind::kCancelFile:
    case StepKind::kBox:
    case StepKind::kAbout:
    case StepKind::kWaitTitle:
    case StepKind::kWaitIdle:
    case StepKind::kExpectClosed:
    case StepKind::kPause:
      return true;
    default:
      return false;
  }
}

std::string Flatten(std::string_view text) {
  std::string flat;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
      continue;
    if (text[i] == '\n' || text[i] == '\r')
      flat += "\\n";
    else
      flat += text[i];
  }
  return flat;
}

std::string LoggedCaption(std::string_view caption, std::string_view program_title) {
  return caption == program_title ? std::string("<program>") : Flatten(caption);
}

std::string TitleLine(std::string_view title) {
  return "title " + Flatten(title);
}

std::string ProgressLine(int position) {
  return "progress " + std::to_string(position);
}

std::string BoxLine(std::string_view caption, std::string_view text) {
  return "box " + std::string(caption) + " | " + Flatten(text);
}

std::string AboutLine(std::string_view caption, const std::vector<std::string>& texts) {
  std::string line = "about " + Flatten(caption);
  for (const std::string& text : texts)
    line += " | " + Flatten(text);
  return line;
}

std::string FileDialogLine(std::string_view filter) {
  return "file-dialog " + Flatten(filter);
}

std::string FailLine(const Step& step, std::string_view why) {
  std::ostringstream line;
  line << "FAIL line " << step.line << " (" << step.source << "): " << why;
  return line.str();
}

}  // namespace qvx::script
