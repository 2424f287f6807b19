// The real download operations inside a fuzzing process, against the virtual generator loaded by
// path from this build tree: the tests' own session (recording window and clock, the application's
// connection), its file dialog answered with one scratch file, and the writes read back from the
// generator's capture.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "download/request.h"
#include "tests/support/session.h"
#include "tests/support/wire.h"

namespace qvx::fuzz {

// Stops the process with a message when an invariant does not hold; libFuzzer keeps the input.
void Require(bool condition, const char* what);

class OperationHost {
 public:
  // Loads the virtual generator (QVX_FUZZ_VG_LIBRARY, else this build tree's) with its flash in
  // memory and no faults from the environment.
  OperationHost();
  ~OperationHost();

  // A fresh generator (erased flash) and a freshly started application, then the operation
  // `request` asks for, its file dialog answered with the scratch file.
  Outcome Run(const DownloadRequest& request);

  // The writes, boxes and completion boxes of the last run.
  const std::vector<test::WireWrite>& writes() const { return writes_; }
  std::vector<std::string> Boxes() const { return session_->Only({"box "}); }
  std::vector<std::string> Infos() const { return session_->Only({"info "}); }
  const test::VirtualGenerator& generator() const { return generator_; }
  // A scratch file of this process that the operations are pointed at.
  const std::string& scratch_path() const { return scratch_path_; }

  // The frame is closed, the generator out of loading mode, every write taken, no violation.
  void RequireCleanEnd() const;

 private:
  std::string library_;
  test::GeneratorControl generator_;
  std::unique_ptr<test::Session> session_;
  std::vector<test::WireWrite> writes_;
  std::string scratch_path_;
};

// Writes the bytes to `path`, replacing what was there.
void WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace qvx::fuzz
