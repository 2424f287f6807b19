// qvx5120-virtual.exe: runs the window, or qvx5120-load with its arguments, on the virtual
// generator installed in the "virtual" folder beside this launcher. The virtual Ftd2xx.dll never
// sits beside the programs, where Windows would take it before FTDI's driver; the launcher names
// its folder in QVX_DRIVER_DIR for the one program it starts, waits for it and returns its exit
// status. The Start menu's "on the virtual generator" entry starts it without arguments.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "device/library_loader.h"

namespace {

constexpr int kMissing = 127;

// What the launcher prints.
const wchar_t kUsage[] =
    L"Usage: qvx5120-virtual [qvx5120 | qvx5120-load [ARGUMENT...]]\n"
    L"\n"
    L"Runs the window (the default) or qvx5120-load on the virtual generator, the Ftd2xx.dll in\n"
    L"the \"virtual\" folder beside this launcher. Examples:\n"
    L"  qvx5120-virtual\n"
    L"  qvx5120-virtual qvx5120-load banner 1 station-id.bmp\n";
const wchar_t kMissingGenerator[] = L"qvx5120-virtual: the virtual generator is missing: %ls\n";
const wchar_t kUnknownProgram[] = L"qvx5120-virtual: runs qvx5120 or qvx5120-load, not %ls\n%ls";
const wchar_t kCannotStart[] = L"qvx5120-virtual: cannot start %ls (error %lu)\n";

std::wstring OwnFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return path.substr(0, path.find_last_of(L"\\/"));
}

// The position just past one argument of a Windows command line starting at `at`: quoted parts
// run to their closing quote, the argument ends at blank space outside them.
size_t SkipArgument(const std::wstring& line, size_t at) {
  bool quoted = false;
  for (; at < line.size(); ++at) {
    if (line[at] == L'"')
      quoted = !quoted;
    else if (!quoted && (line[at] == L' ' || line[at] == L'\t'))
      break;
  }
  return at;
}

size_t SkipBlanks(const std::wstring& line, size_t at) {
  while (at < line.size() && (line[at] == L' ' || line[at] == L'\t'))
    ++at;
  return at;
}

void Print(const wchar_t* text) {
  std::fputws(text, stdout);
  std::fflush(stdout);
}

// The window needs no console: one opened for this launcher alone is hidden.
void HideOwnConsole() {
  DWORD processes[2];
  if (GetConsoleProcessList(processes, 2) == 1)
    ShowWindow(GetConsoleWindow(), SW_HIDE);
}

}  // namespace

int wmain() {
  const std::wstring line = GetCommandLineW();
  const size_t first = SkipBlanks(line, SkipArgument(line, 0));
  const size_t after_first = SkipArgument(line, first);
  std::wstring program = line.substr(first, after_first - first);
  std::wstring rest = line.substr(after_first);
  if (program == L"-h" || program == L"--help" || program == L"/?") {
    Print(kUsage);
    return 0;
  }

  const std::wstring folder = OwnFolder();
  const std::wstring virtual_folder = folder + L"\\virtual";
  const std::wstring driver = virtual_folder + L"\\Ftd2xx.dll";
  if (GetFileAttributesW(driver.c_str()) == INVALID_FILE_ATTRIBUTES) {
    std::fwprintf(stderr, kMissingGenerator, driver.c_str());
    return kMissing;
  }

  const bool window = program.empty() || program == L"qvx5120" || program == L"qvx5120.exe";
  if (window) {
    program = L"qvx5120";
    HideOwnConsole();
  } else if (program != L"qvx5120-load" && program != L"qvx5120-load.exe") {
    std::fwprintf(stderr, kUnknownProgram, program.c_str(), kUsage);
    return 2;
  }
  if (program.ends_with(L".exe"))
    program.resize(program.size() - 4);

  // The arguments after the program's name go on exactly as they were typed.
  std::wstring command = L"\"" + folder + L"\\" + program + L".exe\"" + rest;
  const std::string variable = qvx::kDriverDirectoryVariable;
  SetEnvironmentVariableW(std::wstring(variable.begin(), variable.end()).c_str(),
                          virtual_folder.c_str());

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &process)) {
    std::fwprintf(stderr, kCannotStart, command.c_str(), GetLastError());
    return kMissing;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 1;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(status);
}
