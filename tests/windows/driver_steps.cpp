// Reading the driver's own steps; the shared ones are left to script::ReadScript, which sees their
// lines where they stand (the driver's own lines blanked), so its line numbers stay right.
#include "tests/windows/driver_steps.h"

#include <charconv>
#include <map>
#include <sstream>

namespace qvx::driver {
namespace {

struct OwnSpec {
  std::string_view name;
  OwnKind kind;
  bool id;
  bool text;
};

constexpr OwnSpec kOwnSteps[] = {
    {"chars", OwnKind::kChars, false, true}, {"wait-text", OwnKind::kWaitText, true, true},
    {"read", OwnKind::kRead, true, false},   {"wait-focus", OwnKind::kWaitFocus, true, false},
    {"alt", OwnKind::kAlt, false, true},
};

// The step of a line that names one of the driver's own; nothing when the line names another;
// `why` is set when it names one but is malformed.
std::optional<OwnStep> ReadOwn(std::string_view line, std::string& why) {
  const size_t space = line.find(' ');
  const std::string_view name = line.substr(0, space);
  std::string_view rest = space == std::string_view::npos ? "" : line.substr(space + 1);
  for (const OwnSpec& spec : kOwnSteps) {
    if (spec.name != name)
      continue;
    OwnStep step;
    step.kind = spec.kind;
    if (spec.id) {
      const size_t end = rest.find(' ');
      const std::string_view word = rest.substr(0, end);
      const auto [at, failure] = std::from_chars(word.data(), word.data() + word.size(), step.id);
      if (word.empty() || failure != std::errc() || at != word.data() + word.size()) {
        why = "a control id must follow " + std::string(name);
        return std::nullopt;
      }
      rest = end == std::string_view::npos ? "" : rest.substr(end + 1);
    }
    if (spec.text) {
      if (rest.empty()) {
        why = std::string(name) + " needs a text";
        return std::nullopt;
      }
      step.text = std::string(rest);
    } else if (!rest.empty()) {
      why = "unexpected words after " + std::string(name);
      return std::nullopt;
    }
    return step;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::vector<Entry>> ReadDriverScript(std::istream& in, std::string& error) {
  std::map<int, Entry> own;
  std::string shared;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    std::string why;
    if (const auto step = ReadOwn(line, why)) {
      script::Step at;
      at.line = number;
      at.source = line;
      own.emplace(number, Entry{std::move(at), *step});
      line.clear();
    } else if (!why.empty()) {
      error = "line " + std::to_string(number) + ": " + why;
      return std::nullopt;
    }
    shared += line + "\n";
  }
  std::istringstream rest(shared);
  const auto steps = script::ReadScript(rest, error);
  if (!steps)
    return std::nullopt;
  std::vector<Entry> entries;
  auto next = own.begin();
  for (const script::Step& step : *steps) {
    for (; next != own.end() && next->first < step.line; ++next)
      entries.push_back(next->second);
    entries.push_back(Entry{step, std::nullopt});
  }
  for (; next != own.end(); ++next)
    entries.push_back(next->second);
  return entries;
}

std::string TextLine(int id, std::string_view text) {
  return "text " + std::to_string(id) + " | " + script::Flatten(text);
}

}  // namespace qvx::driver
