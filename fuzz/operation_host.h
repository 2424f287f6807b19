// The real download operations inside a fuzzing process, against the virtual generator loaded by
// path from this build tree, over one connection that stays open from input to input. Before each
// input the generator is restarted (VG_Restart: power-on state, erased flash, empty wire) rather
// than reloaded and opened again, and it keeps no call log, so an input costs what its download
// costs. The host is the operations' window and clock: it keeps the boxes and the state of the
// buttons and cursor, answers the file dialog with one scratch file, and every wait returns at
// once. The writes are recorded on the application's side of the driver.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "device/library_loader.h"
#include "download/connection.h"
#include "download/request.h"
#include "port/clock.h"
#include "port/window_port.h"
#include "tests/support/virtual_generator.h"
#include "tests/support/wire.h"

namespace qvx::fuzz {

// Stops the process with a message when an invariant does not hold; libFuzzer keeps the input.
void Require(bool condition, const char* what);

// Strings kept from input to input in storage that is reused, so that an input allocates nothing
// it does not free (libFuzzer runs an input again, and then a leak check, whenever it does).
class TextList {
 public:
  void Clear() { size_ = 0; }
  void Add(std::string_view text);
  std::span<const std::string> items() const { return {items_.data(), size_}; }
  bool Is(std::initializer_list<std::string_view> expected) const;

 private:
  std::vector<std::string> items_;
  size_t size_ = 0;
};

class OperationHost final : public WindowPort, public Clock {
 public:
  // Loads the virtual generator (QVX_FUZZ_VG_LIBRARY, else this build tree's) with its flash in
  // memory, no faults from the environment and one busy poll per flash step, and connects to it
  // as the application does at start-up.
  OperationHost();
  ~OperationHost() override;
  OperationHost(const OperationHost&) = delete;
  OperationHost& operator=(const OperationHost&) = delete;

  // A fresh generator (erased flash, power-on state), then the operation `request` asks for, its
  // file dialog answered with the scratch file.
  Outcome Run(const DownloadRequest& request);

  // The writes of the last run, in order, as the application's driver calls saw them.
  std::span<const test::WireWrite> writes() const { return {writes_.data(), write_count_}; }
  // Message boxes ("box" text) and completion boxes ("text | caption") of the last run.
  const TextList& boxes() const { return boxes_; }
  const TextList& infos() const { return infos_; }
  const test::VirtualGenerator& generator() const { return generator_; }
  // A scratch file of this process that the operations are pointed at.
  const std::string& scratch_path() const { return scratch_path_; }

  // The frame is closed, the generator out of loading mode, every write taken, no violation.
  void RequireCleanEnd() const;

  // Called by the driver thunk for every FT_Write the application makes.
  void RecordWrite(const void* buffer, d2xx::Dword count, d2xx::Status status, d2xx::Dword written);

 private:
  class Loader;

  // WindowPort.
  void ShowMessage(std::string_view text) override { boxes_.Add(text); }
  void ShowInformation(std::string_view text, std::string_view caption) override;
  void SetTitle(std::string_view) override {}
  void SetProgress(int) override {}
  void EnableDownloadButtons(bool enabled) override { buttons_enabled_ = enabled; }
  void ShowWaitCursor() override { wait_cursor_ = true; }
  void ShowArrowCursor() override { wait_cursor_ = false; }
  void Repaint() override {}
  void ShowAmplitude(int, std::string_view) override {}
  std::optional<std::string> ChooseFile(const FileFilter&) override { return scratch_path_; }

  // Clock: nothing waits; the time moves by the seconds waited.
  void BusyPause() override {}
  void WaitSeconds(int32_t n) override { now_ += std::chrono::seconds(n); }
  void WaitMilliseconds(int32_t n) override { now_ += std::chrono::milliseconds(n); }
  std::chrono::milliseconds Now() override { return now_; }
  void Idle() override {}

  test::VirtualGenerator generator_;
  std::string scratch_path_;
  std::unique_ptr<Loader> loader_;
  std::unique_ptr<Connection> connection_;
  std::vector<test::WireWrite> writes_;  // reused from input to input; the first write_count_ hold
  size_t write_count_ = 0;
  TextList boxes_;
  TextList infos_;
  bool buttons_enabled_ = false;
  bool wait_cursor_ = false;
  std::chrono::milliseconds now_{0};
};

// Writes the bytes to `path`, replacing what was there.
void WriteWholeFile(const std::string& path, std::span<const uint8_t> bytes);

// The folder for this process's scratch files: $TMPDIR, else /dev/shm (memory, so that writing
// an input costs no disk), else /tmp.
std::string ScratchFolder();
// A path of this process in the scratch folder, "qvx-fuzz-<name>-<pid>", removed (with all below
// it) when the process exits normally; after a crash it stays, beside the input that caused it.
std::string ScratchPath(const std::string& name);

}  // namespace qvx::fuzz
