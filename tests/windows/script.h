// The window scripts that drive the loader's window from outside: one step per line, read the same
// way by the Win32 driver and by the Qt twin, and the log lines both print for what they observe.
// Both programs share this file so that equal behaviour gives byte-equal logs.
#pragma once

#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvx::script {

enum class StepKind {
  kSelect,        // select LIST_ID ROW
  kType,          // type EDIT_ID TEXT
  kClick,         // click CONTROL_ID
  kKey,           // key NAME, to the focused control
  kSysCommand,    // syscommand ID
  kClose,         // close: WM_CLOSE to the main window, as the window system sends it
  kPause,         // pause MS: nothing for MS milliseconds, as a user who waits before acting
  kFile,          // file PATH: answer the next file-open dialog
  kCancelFile,    // cancel-file
  kBox,           // box: record the next message box and press OK
  kAbout,         // about: record the next About box and press OK
  kWaitTitle,     // wait-title TEXT
  kWaitIdle,      // wait-idle: the five download buttons take clicks again
  kExpectClosed,  // expect-closed: the main window went away
};

struct Step {
  StepKind kind = StepKind::kWaitIdle;
  int id = 0;        // the control or command
  int number = 0;    // the row of a select, the milliseconds of a pause
  std::string text;  // the text typed, the path, the title or the key name
  int line = 0;      // where the step stands in the script, for the log
  std::string source;
};

// A key the scripts may press, by name, with its Windows virtual-key code.
struct KeyName {
  std::string_view name;
  int virtual_key;
};
inline constexpr KeyName kKeyNames[] = {
    {"Return", 0x0D}, {"Escape", 0x1B}, {"Space", 0x20}, {"Tab", 0x09},
    {"F1", 0x70},     {"Up", 0x26},     {"Down", 0x28},
};
std::optional<int> VirtualKey(std::string_view name);

// Every step of a script; blank lines and lines starting with '#' are skipped. On a malformed
// line: nothing, and `error` says which line and why.
std::optional<std::vector<Step>> ReadScript(std::istream& in, std::string& error);

// True for the steps that wait for the window rather than act on it.
bool IsWait(StepKind kind);

// The log lines. Texts are kept on one line: a line break shows as "\n".
std::string Flatten(std::string_view text);
// A caption equal to the program's own title shows as "<program>", so that programs with
// different file names log alike.
std::string LoggedCaption(std::string_view caption, std::string_view program_title);
std::string TitleLine(std::string_view title);
std::string ProgressLine(int position);
// The caption as LoggedCaption gives it.
std::string BoxLine(std::string_view caption, std::string_view text);
std::string AboutLine(std::string_view caption, const std::vector<std::string>& texts);
std::string FileDialogLine(std::string_view filter);
std::string FailLine(const Step& step, std::string_view why);

}  // namespace qvx::script
