// End-to-end session: the real device link and operations against the virtual generator, with a
// window and a clock that record everything into one trace, interleaved with the generator's
// capture of every driver call.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "device/library_loader.h"
#include "download/connection.h"
#include "port/clock.h"
#include "port/window_port.h"
#include "tests/support/recording_clock.h"
#include "tests/support/test_files.h"
#include "tests/support/virtual_generator.h"

namespace qvx::test {

// The virtual generator's test controls, with the step-by-step capture reading the recorder
// needs to interleave driver calls with its own events.
class GeneratorControl : public VirtualGenerator {
 public:
  using VirtualGenerator::VirtualGenerator;
  size_t CallCount() const;
  std::string Call(size_t index) const;
  // Flash bytes of `units` address units from `address` (two bytes a unit).
  std::span<const uint8_t> FlashAt(uint32_t address, size_t units) const;
};

// Records the window and its clock into `trace`, pulling in the generator's new capture lines
// before each of its own events so the order is exact.
class Recorder final : public WindowPort {
 public:
  explicit Recorder(GeneratorControl& generator);

  // Window.
  void ShowMessage(std::string_view text) override;
  void ShowInformation(std::string_view text, std::string_view caption) override;
  void SetTitle(std::string_view title) override;
  void SetProgress(int position) override;
  // Recorded as the window switches them: one entry a button, in their order.
  void EnableDownloadButtons(bool enabled) override;
  void ShowWaitCursor() override;
  void ShowArrowCursor() override;
  void Repaint() override;
  void ShowAmplitude(int channel, std::string_view text) override;
  std::optional<std::string> ChooseFile(const FileFilter& filter) override;

  // The operations' clock: its pauses and waits are recorded in the trace too.
  RecordingClock clock;
  // Runs at every pause, after it is recorded (tests use it to change things mid-operation).
  std::function<void()> on_pause;

  // Brings in capture lines not yet in the trace.
  void Sync();

  std::vector<std::string> trace;
  std::map<int, std::string> texts;                     // amplitude edit id -> the text shown
  std::deque<std::optional<std::string>> file_answers;  // nullopt = cancel
  // Runs once, after the next file dialog has answered and before the operation opens the file:
  // the moment a file can vanish or shrink under it.
  std::function<void()> after_dialog;
  std::map<int, bool> enabled;
  int cursor_count = 0;
  bool wait_cursor = false;

 private:
  void Add(std::string event);

  GeneratorControl& generator_;
  size_t calls_seen_ = 0;
};

// One connected session: recorder, driver, link and operations, started like the window starts.
struct Session {
  explicit Session(GeneratorControl& generator, const char* library = kDriverLibraryName);
  // The trace from `from` on, with runs of "pause" folded into "pause xN".
  std::vector<std::string> Folded(size_t from = 0) const;
  // What the user and the generator see, without pauses, cursors and button switches: device
  // writes (driver calls, or bulk-out transfers of the libusb double) as "> F4 06 80 00" (longer
  // ones as "> [1536]"), waits, titles, progress, boxes, file
  // dialogs and edit texts. Runs of one entry are folded into "entry xN".
  std::vector<std::string> Script(size_t from = 0) const;
  // Performs the operation `request` asks for, as a click does; its file dialog answers `file`
  // (none: the next queued answer, else cancel).
  Outcome Run(const DownloadRequest& request, std::optional<std::string> file = std::nullopt);
  // Only the entries that start with one of the prefixes.
  std::vector<std::string> Only(std::initializer_list<std::string_view> prefixes,
                                size_t from = 0) const;

  Recorder recorder;
  SystemLibraryLoader loader;
  Connection connection;
  Driver& driver = connection.driver;
  DeviceLink& link = connection.link;
  Downloads& downloads = connection.downloads;
  size_t after_start = 0;  // trace length after start-up
};

// The audio settings of a freshly started window: first tone rows, every level "0.0".
inline AudioSettings InitialAudio() {
  AudioSettings audio;
  audio.amplitudes.fill("0.0");
  return audio;
}

// The lines, from `from` on, that start with one of the prefixes.
std::vector<std::string> Matching(const std::vector<std::string>& lines,
                                  std::initializer_list<std::string_view> prefixes,
                                  size_t from = 0);
inline std::vector<std::string> Matching(const std::vector<std::string>& lines,
                                         std::string_view prefix) {
  return Matching(lines, {prefix});
}

// Every byte is 0xFF, as an erase leaves flash.
bool AllErased(std::span<const uint8_t> bytes);

inline std::string Hex(std::span<const uint8_t> bytes) {
  return VirtualGenerator::Hex(bytes);
}

}  // namespace qvx::test
