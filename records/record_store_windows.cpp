// Appending a record line on Windows: the file opened for each line, locked with LockFileEx, the
// line written at its end, cut back with SetEndOfFile if it did not go whole, and flushed to disk
// with FlushFileBuffers.
#include <windows.h>

#include <filesystem>

#include "records/record_store.h"

namespace qvx::records {
namespace {

std::string Why(const char* what, DWORD error) {
  char text[256] = {};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                 text, sizeof text, nullptr);
  std::string said = text;
  while (!said.empty() && (said.back() == '\n' || said.back() == '\r' || said.back() == '.'))
    said.pop_back();
  return std::string(what) + ": " + said;
}

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (handle_ != INVALID_HANDLE_VALUE)
      CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

class WindowsRecordStore final : public RecordStore {
 public:
  std::optional<std::string> AppendWhole(const std::string& path, std::string_view line) override {
    const Handle file(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE)
      return Why("cannot open it", GetLastError());
    OVERLAPPED whole{};
    if (!LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole))
      return Why("cannot lock it", GetLastError());
    std::optional<std::string> failure;
    LARGE_INTEGER begin{};
    if (!GetFileSizeEx(file.get(), &begin) ||
        !SetFilePointerEx(file.get(), begin, nullptr, FILE_BEGIN)) {
      failure = Why("cannot read its size", GetLastError());
    } else {
      DWORD written = 0;
      const bool whole_line =
          WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
          written == line.size();
      const DWORD error = whole_line ? 0 : GetLastError();
      if (!whole_line || !FlushFileBuffers(file.get())) {
        failure = Why(whole_line ? "cannot flush it" : "cannot write it",
                      whole_line ? GetLastError() : (error ? error : ERROR_DISK_FULL));
        // Whatever reached the file of this line goes again: a reader only ever sees whole lines.
        if (SetFilePointerEx(file.get(), begin, nullptr, FILE_BEGIN) && SetEndOfFile(file.get()))
          FlushFileBuffers(file.get());
      }
    }
    UnlockFileEx(file.get(), 0, MAXDWORD, MAXDWORD, &whole);
    return failure;
  }

  bool Writable(const std::string& path) override {
    const Handle file(CreateFileA(path.c_str(), FILE_APPEND_DATA,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.get() != INVALID_HANDLE_VALUE;
  }

  std::optional<uint64_t> RoomLeft(const std::string& path) override {
    std::string folder = std::filesystem::path(path).parent_path().string();
    ULARGE_INTEGER free_to_caller{};
    if (!GetDiskFreeSpaceExA(folder.empty() ? "." : folder.c_str(), &free_to_caller, nullptr,
                             nullptr))
      return std::nullopt;
    return free_to_caller.QuadPart;
  }
};

}  // namespace

RecordStore& SystemRecordStore() {
  static WindowsRecordStore store;
  return store;
}

}  // namespace qvx::records
