// The real download operations inside a fuzzing process, against the virtual generator loaded by
// path from this build tree: a window that answers the file dialog with one file and remembers
// what it was shown, a clock that never waits, and a record of every write handed to the driver.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/clock.h"
#include "device/driver_table.h"
#include "device/library_loader.h"
#include "device/protocol.h"
#include "device/window_port.h"
#include "download/downloads.h"
#include "tests/support/fake_time.h"
#include "tests/support/virtual_generator.h"
#include "tests/support/wiring.h"

namespace qvx::fuzz {

// Stops the process with a message when an invariant does not hold; libFuzzer keeps the input.
void Require(bool condition, const char* what);

class QuietWindow final : public WindowPort {
 public:
  void ShowMessage(std::string_view text) override { boxes.emplace_back(text); }
  void ShowInformation(std::string_view text, std::string_view) override {
    infos.emplace_back(text);
  }
  void SetTitle(std::string_view) override {}
  void SetProgress(int) override {}
  void EnableControl(int control_id, bool on) override { enabled[control_id] = on; }
  void ShowWaitCursor() override { wait_cursor = true; }
  void ShowArrowCursor() override { wait_cursor = false; }
  void Repaint() override {}
  void ShowAmplitude(int, std::string_view) override {}
  std::optional<std::string> ChooseFile(const FileFilter&) override { return file; }

  std::vector<std::string> boxes;
  std::vector<std::string> infos;
  std::map<int, bool> enabled;
  std::optional<std::string> file;
  bool wait_cursor = false;
};

class NoWaitClock final : public Clock {
 public:
  void BusyPause() override {}
  void WaitSeconds(int32_t n) override { time_.Wait(n); }
  std::chrono::milliseconds Now() override { return time_.Read(); }
  void Idle() override {}

 private:
  test::FakeTime time_;
};

// One write as the application handed it to the driver, with the driver's answer.
struct SentWrite {
  std::vector<uint8_t> bytes;
  d2xx::Status status;
};

class OperationHost {
 public:
  // Loads the virtual generator (QVX_FUZZ_VG_LIBRARY, else this build tree's) with its flash in
  // memory and no faults from the environment.
  OperationHost();
  ~OperationHost();

  // A fresh generator (erased flash) and a freshly started application; every earlier write and
  // window event forgotten.
  void Start();

  Downloads& downloads() { return wiring_->downloads; }
  QuietWindow& window() { return *window_; }
  const std::vector<SentWrite>& writes() const;
  const test::VirtualGenerator& generator() const { return *generator_; }
  // A scratch file of this process that the operations are pointed at.
  const std::string& scratch_path() const { return scratch_path_; }

  // The frame is closed, the generator out of loading mode, every write taken, no violation.
  void RequireCleanEnd() const;

 private:
  class RecordingLoader;

  std::unique_ptr<test::VirtualGenerator> generator_;
  std::unique_ptr<RecordingLoader> loader_;
  std::unique_ptr<QuietWindow> window_;
  NoWaitClock clock_;
  std::unique_ptr<test::Wiring> wiring_;
  std::string scratch_path_;
};

// Writes the bytes to `path`, replacing what was there.
void WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace qvx::fuzz
