#include "fuzz/operation_host.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "download/controls.h"
#include "tests/support/environment.h"

namespace qvx::fuzz {
namespace {

// The driver's own FT_Write, and where the recording shim puts what passes through it.
d2xx::WriteFn real_write = nullptr;
std::vector<SentWrite> sent;

d2xx::Status QVX_D2XX_CALL RecordWrite(d2xx::Handle handle, void* buffer, d2xx::Dword count,
                                       d2xx::Dword* written) {
  const d2xx::Status status = real_write(handle, buffer, count, written);
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  sent.push_back({std::vector<uint8_t>(bytes, bytes + count), status});
  return status;
}

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

// Loads the virtual generator by path, and hands the driver a recording FT_Write.
class OperationHost::RecordingLoader final : public LibraryLoader {
 public:
  explicit RecordingLoader(std::string path) : inner_(std::move(path)) {}
  void* Load() override { return inner_.Load(); }
  void* Find(void* library, const char* name) override {
    void* symbol = inner_.Find(library, name);
    if (symbol == nullptr || std::strcmp(name, "FT_Write") != 0)
      return symbol;
    real_write = reinterpret_cast<d2xx::WriteFn>(symbol);
    return reinterpret_cast<void*>(&RecordWrite);
  }

 private:
  SystemLibraryLoader inner_;
};

OperationHost::OperationHost() {
  // Never the user's flash file, and no fault switched on from outside.
  const std::string path = LibraryPath();
  generator_ = std::make_unique<test::VirtualGenerator>(path);
  test::IsolateGenerator(*generator_, "none");
  loader_ = std::make_unique<RecordingLoader>(path);
  scratch_path_ =
      (std::filesystem::temp_directory_path() / ("qvx-fuzz-input-" + std::to_string(getpid())))
          .string();
}

OperationHost::~OperationHost() {
  std::remove(scratch_path_.c_str());
}

void OperationHost::Start() {
  wiring_.reset();
  generator_->Reset();
  generator_->SetOption("busy_polls", 1);
  window_ = std::make_unique<QuietWindow>();
  wiring_ = std::make_unique<test::Wiring>(*window_, clock_, *loader_);
  Require(wiring_->link.connected(), "the virtual generator opens");
  sent.clear();
}

const std::vector<SentWrite>& OperationHost::writes() const {
  return sent;
}

void OperationHost::RequireCleanEnd() const {
  for (int id : control::kDownloadButtons)
    Require(window_->enabled[id], "the download buttons are enabled again");
  Require(!window_->wait_cursor, "the arrow cursor is back");
  Require(!sent.empty() && sent.back().bytes == std::vector<uint8_t>{CMD_END_LOAD},
          "the last write is CMD_END_LOAD");
  Require(!generator_->InLoadingMode(), "the generator is out of loading mode");
  for (const SentWrite& write : sent)
    Require(write.status == d2xx::FT_OK, "the generator takes every write");
  Require(generator_->Violations().empty(), "the generator saw no protocol violation");
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
