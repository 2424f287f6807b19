#include "fuzz/operation_host.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "window/controls.h"
#include "tests/support/environment.h"

namespace qvx::fuzz {
namespace {

std::string LibraryPath() {
  const char* path = std::getenv("QVX_FUZZ_VG_LIBRARY");
  return path != nullptr && *path != '\0' ? path : QVX_FUZZ_VG_LIBRARY;
}

}  // namespace

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

OperationHost::OperationHost()
    : library_(LibraryPath()),
      generator_(library_),
      scratch_path_(
          (std::filesystem::temp_directory_path() / ("qvx-fuzz-input-" + std::to_string(getpid())))
              .string()) {
  // Never the user's flash file, and no fault switched on from outside.
  test::IsolateGenerator(generator_, "none");
}

OperationHost::~OperationHost() {
  std::remove(scratch_path_.c_str());
}

Outcome OperationHost::Run(const DownloadRequest& request) {
  session_.reset();
  generator_.Reset();
  generator_.SetOption("busy_polls", 1);
  session_ = std::make_unique<test::Session>(generator_, library_.c_str());
  Require(session_->link.connected(), "the virtual generator opens");
  const size_t from = session_->recorder.trace.size();
  const Outcome outcome = session_->Run(request, scratch_path_);
  session_->recorder.Sync();
  writes_ = test::Writes(session_->recorder.trace, from);
  return outcome;
}

void OperationHost::RequireCleanEnd() const {
  const test::Recorder& recorder = session_->recorder;
  for (int id : control::kDownloadButtons)
    Require(recorder.enabled.count(id) != 0 && recorder.enabled.at(id),
            "the download buttons are enabled again");
  Require(!recorder.wait_cursor, "the arrow cursor is back");
  Require(!writes_.empty() && writes_.back().Is({CMD_END_LOAD}), "the last write is CMD_END_LOAD");
  Require(!generator_.InLoadingMode(), "the generator is out of loading mode");
  for (const test::WireWrite& write : writes_)
    Require(write.Taken(), "the generator takes every write");
  Require(generator_.Violations().empty(), "the generator saw no protocol violation");
}

void WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  Require(file != nullptr, "the scratch file can be written");
  if (!bytes.empty())
    Require(std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size(),
            "the scratch file takes the input");
  std::fclose(file);
}

}  // namespace qvx::fuzz
