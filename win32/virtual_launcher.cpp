// qvx5120-virtual.exe: runs the window, or qvx5120-load, qvx5120-station or qvx5120-doctor with
// its arguments, on the virtual generator installed in the "virtual" folder beside this launcher.
// The virtual Ftd2xx.dll never sits beside the programs, where Windows would take it before FTDI's
// driver; the launcher names its folder in QVX_DRIVER_DIR for the one program it starts, waits for
// it and returns its exit status. The Start menu's "on the virtual generator" entry starts it
// without arguments. The station window runs on a virtual rack that a demo conveyor keeps plugging
// units into (one of them faulty, so that a FAIL shows too), with the demo set of the "virtual"
// folder unless arguments are given.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include <memory>

#include "device/library_loader.h"
#include "win32/demo_conveyor.h"

namespace {

constexpr int kMissing = 127;

// What the launcher prints.
const wchar_t kUsage[] =
    L"Usage: qvx5120-virtual [qvx5120 | qvx5120-load [ARGUMENT...] |\n"
    L"                        qvx5120-station [ARGUMENT...] | qvx5120-doctor [ARGUMENT...]]\n"
    L"\n"
    L"Runs the window (the default), qvx5120-load, the station window or qvx5120-doctor on the\n"
    L"virtual generator,\n"
    L"the Ftd2xx.dll in the \"virtual\" folder beside this launcher. The station window runs on a\n"
    L"virtual rack with a demo conveyor plugging units in, and with the demo set of that folder\n"
    L"when no argument is given. Examples:\n"
    L"  qvx5120-virtual\n"
    L"  qvx5120-virtual qvx5120-load banner 1 station-id.bmp\n"
    L"  qvx5120-virtual qvx5120-station\n"
    L"  qvx5120-virtual qvx5120-doctor\n";
const wchar_t kMissingGenerator[] = L"qvx5120-virtual: the virtual generator is missing: %ls\n";
const wchar_t kUnknownProgram[] =
    L"qvx5120-virtual: runs qvx5120, qvx5120-load, qvx5120-station or qvx5120-doctor, not %ls\n%ls";
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

void SetVariable(const char* name, const std::wstring& value) {
  const std::string variable = name;
  SetEnvironmentVariableW(std::wstring(variable.begin(), variable.end()).c_str(), value.c_str());
}

// The station's demo: the rack file in the user's temporary folder, one unit that the virtual
// generator unplugs part-way through its load, and the demo set when no argument names another.
std::unique_ptr<qvx::win32::DemoConveyor> StartDemo(const std::wstring& virtual_folder,
                                                    std::wstring& rest) {
  std::wstring temporary(MAX_PATH + 1, L'\0');
  temporary.resize(GetTempPathW(static_cast<DWORD>(temporary.size()), temporary.data()));
  const std::wstring rack =
      temporary + L"qvx5120-demo-rack-" + std::to_wstring(GetCurrentProcessId()) + L".txt";
  SetVariable("QVX_VG_RACK", rack);
  SetVariable("QVX_VG_FAULT_UNIT", L"QVX00003");
  SetVariable("QVX_VG_UNPLUG_AFTER", L"1000");
  const std::wstring set = virtual_folder + L"\\station.toml";
  if (SkipBlanks(rest, 0) == rest.size() &&
      GetFileAttributesW(set.c_str()) != INVALID_FILE_ATTRIBUTES)
    rest = L" --set \"" + set + L"\"";
  return std::make_unique<qvx::win32::DemoConveyor>(rack);
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
  const bool station = program == L"qvx5120-station" || program == L"qvx5120-station.exe";
  if (window) {
    program = L"qvx5120";
    HideOwnConsole();
  } else if (station) {
    HideOwnConsole();
  } else if (program != L"qvx5120-load" && program != L"qvx5120-load.exe" &&
             program != L"qvx5120-doctor" && program != L"qvx5120-doctor.exe") {
    std::fwprintf(stderr, kUnknownProgram, program.c_str(), kUsage);
    return 2;
  }
  if (program.ends_with(L".exe"))
    program.resize(program.size() - 4);

  std::unique_ptr<qvx::win32::DemoConveyor> conveyor;
  if (station)
    conveyor = StartDemo(virtual_folder, rest);
  // The arguments after the program's name go on exactly as they were typed.
  std::wstring command = L"\"" + folder + L"\\" + program + L".exe\"" + rest;
  SetVariable(qvx::kDriverDirectoryVariable, virtual_folder);

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
