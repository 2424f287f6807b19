#include "tests/support/session.h"

#include <algorithm>
#include <utility>

#include "emulator/vg_control.h"
#include "tests/support/wire.h"
#include "window/controls.h"

namespace qvx::test {
size_t GeneratorControl::CallCount() const {
  return reinterpret_cast<decltype(&VG_CallCount)>(Symbol("VG_CallCount"))();
}

std::string GeneratorControl::Call(size_t index) const {
  return reinterpret_cast<decltype(&VG_Call)>(Symbol("VG_Call"))(index);
}

std::span<const uint8_t> GeneratorControl::FlashAt(uint32_t address, size_t units) const {
  return Flash().subspan(size_t{address} * 2, units * 2);
}

void Recorder::Sync() {
  const size_t count = generator_.CallCount();
  for (; calls_seen_ < count; ++calls_seen_)
    trace.push_back(generator_.Call(calls_seen_));
}

void Recorder::Add(std::string event) {
  Sync();
  trace.push_back(std::move(event));
}

void Recorder::ShowMessage(std::string_view text) {
  Add("box " + std::string(text));
}

void Recorder::ShowInformation(std::string_view text, std::string_view caption) {
  Add("info " + std::string(text) + " | " + std::string(caption));
}

void Recorder::SetTitle(std::string_view title) {
  Add("title " + std::string(title));
}

void Recorder::SetProgress(int position) {
  Add("progress " + std::to_string(position));
}

void Recorder::EnableDownloadButtons(bool on) {
  for (int id : control::kDownloadButtons) {
    enabled[id] = on;
    Add((on ? "enable " : "disable ") + std::to_string(id));
  }
}

void Recorder::ShowWaitCursor() {
  ++cursor_count;
  wait_cursor = true;
  Add("cursor wait");
}

void Recorder::ShowArrowCursor() {
  ++cursor_count;
  wait_cursor = false;
  Add("cursor arrow");
}

void Recorder::Repaint() {
  Add("repaint");
}

void Recorder::ShowAmplitude(int channel, std::string_view text) {
  const int edit_id = control::kAmplitudeEdits.at(static_cast<size_t>(channel - 1));
  texts[edit_id] = std::string(text);
  Add("text " + std::to_string(edit_id) + " " + std::string(text));
}

std::optional<std::string> Recorder::ChooseFile(const FileFilter& filter) {
  Add("file " + std::string(filter.name) + " " + std::string(filter.pattern));
  std::optional<std::string> answer;
  if (!file_answers.empty()) {
    answer = file_answers.front();
    file_answers.pop_front();
  }
  if (auto hook = std::exchange(after_dialog, nullptr))
    hook();
  return answer;
}

Recorder::Recorder(GeneratorControl& generator) : generator_(generator) {
  clock.on_pause = [this] {
    Add("pause");
    if (on_pause)
      on_pause();
  };
  clock.on_wait = [this](size_t) { Add("wait " + std::to_string(clock.waits.back())); };
}

bool AllErased(std::span<const uint8_t> bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0xFF; });
}

Outcome Session::Run(const DownloadRequest& request, std::optional<std::string> file) {
  if (file)
    recorder.file_answers.push_back(std::move(file));
  return downloads.Run(request);
}

Session::Session(GeneratorControl& generator, const char* library)
    : recorder(generator), loader(library), connection(recorder, recorder.clock, loader) {
  connection.Connect();
  recorder.Sync();
  after_start = recorder.trace.size();
}

std::vector<std::string> Session::Folded(size_t from) const {
  std::vector<std::string> out;
  const auto& trace = recorder.trace;
  for (size_t i = from; i < trace.size();) {
    if (trace[i] != "pause") {
      out.push_back(trace[i++]);
      continue;
    }
    size_t run = 0;
    while (i < trace.size() && trace[i] == "pause")
      ++run, ++i;
    out.push_back("pause x" + std::to_string(run));
  }
  return out;
}

std::vector<std::string> Session::Script(size_t from) const {
  static constexpr std::string_view kKept[] = {"wait ", "title ", "progress ", "box ",
                                               "info ", "file ",  "text "};
  std::vector<std::string> lines;
  for (size_t i = from; i < recorder.trace.size(); ++i) {
    const std::string& entry = recorder.trace[i];
    if (const auto write = ParseWrite(entry)) {
      const size_t count = write->bytes.size();
      std::string line =
          count <= 4 ? "> " + Hex(write->bytes) : "> [" + std::to_string(count) + "]";
      if (!write->Taken())
        line += " !" + std::to_string(write->status) + " " + std::to_string(write->written);
      lines.push_back(line);
      continue;
    }
    for (auto kept : kKept) {
      if (entry.starts_with(kept)) {
        lines.push_back(entry);
        break;
      }
    }
  }
  std::vector<std::string> folded;
  for (size_t i = 0; i < lines.size();) {
    size_t run = 1;
    while (i + run < lines.size() && lines[i + run] == lines[i])
      ++run;
    folded.push_back(run == 1 ? lines[i] : lines[i] + " x" + std::to_string(run));
    i += run;
  }
  return folded;
}

std::vector<std::string> Session::Only(std::initializer_list<std::string_view> prefixes,
                                       size_t from) const {
  return Matching(recorder.trace, prefixes, from);
}

std::vector<std::string> Matching(const std::vector<std::string>& lines,
                                  std::initializer_list<std::string_view> prefixes, size_t from) {
  std::vector<std::string> out;
  for (size_t i = from; i < lines.size(); ++i) {
    if (std::any_of(prefixes.begin(), prefixes.end(),
                    [&](std::string_view prefix) { return lines[i].starts_with(prefix); }))
      out.push_back(lines[i]);
  }
  return out;
}

}  // namespace qvx::test
