#include "fuzz/operation_host.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "device/protocol.h"
#include "tests/support/environment.h"

namespace qvx::fuzz {
namespace {

std::string LibraryPath() {
  const char* path = std::getenv("QVX_FUZZ_VG_LIBRARY");
  return path != nullptr && *path != '\0' ? path : QVX_FUZZ_VG_LIBRARY;
}

// The one host of the process and the generator's own FT_Write, for the thunk below.
OperationHost* the_host = nullptr;
d2xx::WriteFn generator_write = nullptr;

d2xx::Status QVX_D2XX_CALL RecordingWrite(d2xx::Handle handle, void* buffer, d2xx::Dword count,
                                          d2xx::Dword* written) {
  const d2xx::Status status = generator_write(handle, buffer, count, written);
  the_host->RecordWrite(buffer, count, status, written != nullptr ? *written : 0);
  return status;
}

}  // namespace

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

void TextList::Add(std::string_view text) {
  if (size_ == items_.size())
    items_.emplace_back();
  items_[size_++].assign(text);
}

bool TextList::Is(std::initializer_list<std::string_view> expected) const {
  return std::equal(items().begin(), items().end(), expected.begin(), expected.end());
}

// The generator's library as the application binds it, with FT_Write passed through the recorder.
class OperationHost::Loader final : public LibraryLoader {
 public:
  explicit Loader(void* library) : library_(library) {}
  void* Load() override { return library_; }
  void* Find(void* library, const char* name) override {
    void* found = dlsym(library, name);
    if (found == nullptr || std::strcmp(name, "FT_Write") != 0)
      return found;
    generator_write = reinterpret_cast<d2xx::WriteFn>(found);
    return reinterpret_cast<void*>(&RecordingWrite);
  }

 private:
  void* library_;
};

OperationHost::OperationHost() : generator_(LibraryPath()), scratch_path_(ScratchPath("input")) {
  Require(the_host == nullptr, "one operation host per process");
  the_host = this;
  // Never the user's flash file, and no fault switched on from outside.
  test::IsolateGenerator(generator_, "none");
  generator_.SetOption("busy_polls", 1);
  generator_.SetOption("log_calls", 0);
  WriteWholeFile(scratch_path_, {});
  loader_ = std::make_unique<Loader>(generator_.library());
  connection_ = std::make_unique<Connection>(*this, *this, *loader_);
  connection_->Connect();
  Require(connection_->connected(), "the virtual generator opens");
}

OperationHost::~OperationHost() {
  std::remove(scratch_path_.c_str());
  the_host = nullptr;
}

Outcome OperationHost::Run(const DownloadRequest& request) {
  generator_.Restart();
  write_count_ = 0;
  boxes_.Clear();
  infos_.Clear();
  return connection_->downloads.Run(request);
}

void OperationHost::RecordWrite(const void* buffer, d2xx::Dword count, d2xx::Status status,
                                d2xx::Dword written) {
  if (write_count_ == writes_.size())
    writes_.emplace_back();
  test::WireWrite& write = writes_[write_count_++];
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  write.bytes.assign(bytes, bytes + (bytes != nullptr ? count : 0));
  write.status = static_cast<int>(status);
  write.written = written;
}

void OperationHost::ShowInformation(std::string_view text, std::string_view caption) {
  std::string line(text);
  line += " | ";
  line += caption;
  infos_.Add(line);
}

void OperationHost::RequireCleanEnd() const {
  Require(buttons_enabled_, "the download buttons are enabled again");
  Require(!wait_cursor_, "the arrow cursor is back");
  const auto all = writes();
  Require(!all.empty() && all.back().Is({CMD_END_LOAD}), "the last write is CMD_END_LOAD");
  Require(!generator_.InLoadingMode(), "the generator is out of loading mode");
  for (const test::WireWrite& write : all)
    Require(write.Taken(), "the generator takes every write");
  Require(generator_.Violations().empty(), "the generator saw no protocol violation");
}

void WriteWholeFile(const std::string& path, std::span<const uint8_t> bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  Require(file != nullptr, "the scratch file can be written");
  if (!bytes.empty())
    Require(std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size(),
            "the scratch file takes the input");
  std::fclose(file);
}

std::string ScratchFolder() {
  if (const char* tmp = std::getenv("TMPDIR"); tmp != nullptr && *tmp != '\0')
    return tmp;
  std::error_code error;
  if (std::filesystem::is_directory("/dev/shm", error) && access("/dev/shm", W_OK) == 0)
    return "/dev/shm";
  return "/tmp";
}

std::string ScratchPath(const std::string& name) {
  static std::vector<std::string> paths;
  if (paths.empty()) {
    std::atexit([] {
      std::error_code error;
      for (const std::string& path : paths)
        std::filesystem::remove_all(path, error);
    });
  }
  paths.push_back(ScratchFolder() + "/qvx-fuzz-" + name + "-" + std::to_string(getpid()));
  return paths.back();
}

}  // namespace qvx::fuzz
