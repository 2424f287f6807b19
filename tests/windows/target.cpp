// Finding and reading the windows of the program under test; see target.h.
#include "tests/windows/target.h"

#include <dlgs.h>  // the common dialogs' control ids

namespace qvx::driver {
namespace {

bool IsDialogClass(HWND window) {
  char name[16] = {};
  GetClassNameA(window, name, sizeof name);
  return std::string(name) == "#32770";
}

enum class Wanted {
  kDialogs,
  kNameless,  // every visible window without a caption but the dialogs
  kAll,
};

struct Search {
  DWORD process_id;
  Wanted wanted;
  std::vector<HWND> windows;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<Search*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->process_id)
    return TRUE;
  const bool wanted =
      search->wanted == Wanted::kAll ? true
      : search->wanted == Wanted::kDialogs
          ? IsDialogClass(window)
          : !IsDialogClass(window) && IsWindowVisible(window) && GetWindowTextLengthW(window) == 0;
  if (wanted)
    search->windows.push_back(window);
  return TRUE;
}

std::vector<HWND> TopLevelWindows(DWORD process_id, Wanted wanted) {
  Search search{process_id, wanted, {}};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
  return search.windows;
}

std::vector<HWND> TopLevelDialogs(DWORD process_id) {
  return TopLevelWindows(process_id, Wanted::kDialogs);
}

}  // namespace

Target::~Target() {
  if (process_.hProcess) {
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
  }
}

bool Target::Start(const std::string& command_line, const std::string& work_dir) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  std::string line = command_line;  // CreateProcessA may write into it
  return CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, work_dir.c_str(),
                        &startup, &process_) != 0;
}

bool Target::Running() const {
  return process_.hProcess && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

void Target::WaitUntilIdle(DWORD milliseconds) const {
  WaitForInputIdle(process_.hProcess, milliseconds);
}

bool Target::WaitForExit(DWORD milliseconds) const {
  return !process_.hProcess ||
         WaitForSingleObject(process_.hProcess, milliseconds) == WAIT_OBJECT_0;
}

void Target::Kill() {
  if (Running())
    TerminateProcess(process_.hProcess, 1);
}

HWND Target::MainWindow() {
  if (main_ && IsWindow(main_))
    return main_;
  main_ = nullptr;
  for (HWND window : TopLevelWindows(process_.dwProcessId, Wanted::kAll)) {
    if (GetDlgItem(window, marker_)) {
      main_ = window;
      thread_id_ = GetWindowThreadProcessId(window, nullptr);
    }
  }
  return main_;
}

std::vector<HWND> Target::Dialogs() const {
  std::vector<HWND> dialogs;
  for (HWND window : TopLevelDialogs(process_.dwProcessId)) {
    if (window != main_ && IsWindowVisible(window) && !GetDlgItem(window, marker_))
      dialogs.push_back(window);
  }
  return dialogs;
}

std::vector<HWND> Target::NamelessWindows() const {
  return TopLevelWindows(process_.dwProcessId, Wanted::kNameless);
}

std::string Utf8(std::wstring_view text) {
  const int size = static_cast<int>(text.size());
  std::string utf8(static_cast<size_t>(size) * 3, '\0');
  const int written = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, utf8.data(),
                                          static_cast<int>(utf8.size()), nullptr, nullptr);
  utf8.resize(static_cast<size_t>(written > 0 ? written : 0));
  return utf8;
}

std::wstring Wide(std::string_view utf8) {
  const int size = static_cast<int>(utf8.size());
  std::wstring text(utf8.size(), L'\0');
  const int written =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, text.data(), static_cast<int>(size));
  text.resize(static_cast<size_t>(written > 0 ? written : 0));
  return text;
}

std::string Caption(HWND window) {
  wchar_t caption[512] = {};
  const int copied = GetWindowTextW(window, caption, 512);
  return Utf8(std::wstring_view(caption, static_cast<size_t>(copied > 0 ? copied : 0)));
}

std::optional<std::string> ControlText(HWND control) {
  const auto length = SendWithin(control, WM_GETTEXTLENGTH, 0, 0);
  if (!length)
    return std::nullopt;
  if (*length <= 0)
    return std::string();
  std::wstring text(static_cast<size_t>(*length) + 1, L'\0');
  const auto copied =
      SendWithin(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  if (!copied)
    return std::nullopt;
  text.resize(*copied > 0 ? static_cast<size_t>(*copied) : 0);
  return Utf8(text);
}

bool SetControlText(HWND control, std::string_view text) {
  const std::wstring wide = Wide(text);
  return SendWithin(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str())).has_value();
}

std::optional<LRESULT> SendWithin(HWND window, UINT message, WPARAM w, LPARAM l,
                                  UINT milliseconds) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, message, w, l, SMTO_BLOCK, milliseconds, &result))
    return std::nullopt;
  return static_cast<LRESULT>(result);
}

std::vector<HWND> VisibleChildren(HWND dialog) {
  std::vector<HWND> children;
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (IsWindowVisible(child))
      children.push_back(child);
  }
  return children;
}

bool IsFileDialog(HWND dialog) {
  return GetDlgItem(dialog, cmb1) && FileNameField(dialog);
}

HWND FileNameField(HWND dialog) {
  if (HWND combo = GetDlgItem(dialog, cmb13))
    return combo;
  return GetDlgItem(dialog, edt1);
}

std::optional<std::string> FileDialogFilter(HWND dialog) {
  HWND types = GetDlgItem(dialog, cmb1);
  const auto row = SendWithin(types, CB_GETCURSEL, 0, 0);
  if (!row)
    return std::nullopt;
  if (*row < 0)
    return std::string();
  const auto length = SendWithin(types, CB_GETLBTEXTLEN, static_cast<WPARAM>(*row), 0);
  if (!length)
    return std::nullopt;
  if (*length < 0)
    return std::string();
  std::wstring text(static_cast<size_t>(*length) + 1, L'\0');
  const auto copied = SendWithin(types, CB_GETLBTEXT, static_cast<WPARAM>(*row),
                                 reinterpret_cast<LPARAM>(text.data()));
  if (!copied)
    return std::nullopt;
  text.resize(*copied > 0 ? static_cast<size_t>(*copied) : 0);
  return Utf8(text);
}

bool ReadOnlyBoxHidden(HWND dialog) {
  HWND box = GetDlgItem(dialog, chx1);
  return !box || !IsWindowVisible(box);
}

}  // namespace qvx::driver
