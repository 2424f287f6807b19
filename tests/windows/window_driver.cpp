// qvx5120-window-driver: starts a Win32 program, finds its main dialog and plays a window script
// against it from outside (tests/windows/script.h), writing one log line per observation to
// standard output. Titles and progress are read by polling, so a value shown for less than a poll
// may be missed; boxes, file dialogs and the About box are waited for and answered. Every step
// has a time limit, and the exit status is 0 only when every step succeeded and the program then
// closed cleanly. Within that limit a step is repeated until it shows its effect (see Click), and
// a read or a send the program misses the time limit of is made again: a program starved of time
// on a loaded machine is slow, not wrong.
//
// With --stalls, each click or key step starts a span that the next wait-idle ends, and the
// driver logs how long the main window went without serving its queue in that span (see
// stall_meter.h): from just before the input is delivered (the press of a click, the key-down of
// a key; the program has gone idle first) until the wait-idle sees the operation over. With
// QVX_STALL_TRACE=1 in the environment it also prints on standard error when each step of a span
// started, each log line of the span and each ping of 40 ms or more, in milliseconds from the
// span's start.
//
// With --main-control ID, the main window is the program's top-level window holding control ID
// (the loader window's Download Picture button by default). The driver's own steps
// (tests/windows/driver_steps.h) type characters and read controls' texts.
//
//   qvx5120-window-driver [--timeout SECONDS] [--stalls] [--main-control ID] SCRIPT WORK_DIR
//                         PROGRAM [ARGUMENT...]
// windows.h first: the other Windows headers rely on its types.
#include <windows.h>

#include <commctrl.h>
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "tests/windows/driver_steps.h"
#include "tests/windows/input.h"
#include "tests/windows/script.h"
#include "tests/windows/stall_meter.h"
#include "tests/windows/target.h"
#include "window/controls.h"

namespace qvx::driver {
namespace {

using script::Step;
using script::StepKind;

constexpr DWORD kPollMilliseconds = 5;
constexpr ULONGLONG kPressAgainMilliseconds = 2000;
// How long the window must stay idle before a wait for it ends.
constexpr ULONGLONG kSettleMilliseconds = 300;
// How long a click waits for the program to finish what it is doing before it is sent.
constexpr DWORD kIdleMilliseconds = 10000;
constexpr int kOkButton = IDOK;
constexpr double kTracedStallMilliseconds = 40;

// What a wait accepts besides the state it waits for.
enum class Expecting { kNothing, kFileDialog, kOtherDialog, kAnyDialog };

class Driver {
 public:
  Driver(Target& target, std::string program_title, std::string work_dir, DWORD timeout,
         bool measure_stalls)
      : target_(target),
        program_title_(std::move(program_title)),
        work_dir_(std::move(work_dir)),
        timeout_(timeout),
        measure_stalls_(measure_stalls) {}

  // Plays every step, then closes the program; false at the first step that fails.
  bool Run(const std::vector<Entry>& steps) {
    const Step start{StepKind::kWaitIdle, 0, 0, {}, 0, "start"};
    if (!WaitFor(start, Expecting::kOtherDialog, [&] { return target_.MainWindow() != nullptr; }))
      return false;
    for (size_t i = 0; i < steps.size(); ++i) {
      const Entry& step = steps[i];
      next_answers_dialog_ =
          i + 1 < steps.size() && !steps[i + 1].own && AnswersDialog(steps[i + 1].at.kind);
      if (!(step.own ? PlayOwn(step.at, *step.own) : Play(step.at))) {
        target_.Kill();
        return false;
      }
    }
    return CloseProgram();
  }

 private:
  void Log(const std::string& line) {
    Trace(line);
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
  }
  // In a measured span with QVX_STALL_TRACE set: `what` with the time since the span began.
  void Trace(const std::string& what) const {
    if (trace_stalls_ && stall_meter_.running())
      std::fprintf(stderr, "%9.1f ms  %s\n", stall_meter_.Elapsed(), what.c_str());
  }
  bool Fail(const Step& step, const std::string& why) {
    Log(script::FailLine(step, why));
    return false;
  }

  bool Play(const Step& step) {
    Trace("step " + step.source);
    HWND main = target_.MainWindow();
    if (!main && step.kind != StepKind::kExpectClosed)
      return Fail(step, "the main window is gone");
    HWND control = main ? GetDlgItem(main, step.id) : nullptr;
    const bool needs_control = step.kind == StepKind::kSelect || step.kind == StepKind::kType ||
                               step.kind == StepKind::kClick;
    if (needs_control && !control)
      return Fail(step, "no control " + std::to_string(step.id));
    switch (step.kind) {
      // Both are sent again until the program answers: a program starved of time can miss a
      // send's time limit, and selecting a row or setting a text twice changes nothing.
      case StepKind::kSelect:
        // What the list does when the user picks a row: select it, then tell its parent.
        return WaitFor(step, Expecting::kNothing, [&] {
          return SendWithin(control, CB_SETCURSEL, static_cast<WPARAM>(step.number), 0) &&
                 SendWithin(main, WM_COMMAND, MAKEWPARAM(step.id, CBN_SELCHANGE),
                            reinterpret_cast<LPARAM>(control));
        });
      case StepKind::kType:
        return WaitFor(step, Expecting::kNothing,
                       [&] { return SetControlText(control, step.text); });
      case StepKind::kClick:
        return Click(step, main, control);
      case StepKind::kKey:
        if (measure_stalls_)
          stall_meter_.Begin(main);
        // A key on a focused button starts what a click on it starts.
        if (HWND focus = Focus(); focus && IsChild(main, focus))
          clicked_ = focus;
        PostKey(target_.thread_id(), main, *script::VirtualKey(step.text));
        return true;
      case StepKind::kSysCommand:
        PostMessageA(main, WM_SYSCOMMAND, static_cast<WPARAM>(step.id), 0);
        return true;
      case StepKind::kClose:
        PostMessageA(main, WM_CLOSE, 0, 0);
        return true;
      case StepKind::kPause: {
        const ULONGLONG until = GetTickCount64() + static_cast<ULONGLONG>(step.number);
        return WaitFor(step, Expecting::kNothing, [&] { return GetTickCount64() >= until; });
      }
      case StepKind::kFile:
      case StepKind::kCancelFile:
        return AnswerFileDialog(step);
      case StepKind::kBox:
      case StepKind::kAbout:
        return AnswerDialog(step);
      case StepKind::kWaitTitle:
        return WaitFor(step, Expecting::kNothing, [&] { return last_title_ == step.text; });
      case StepKind::kWaitIdle: {
        // Idle for a moment on end: under load the focus can be back on the button a little
        // before the operation has returned, and input sent then is dropped as busy.
        ULONGLONG idle_since = 0;
        const auto settled = [&] {
          if (!Idle()) {
            idle_since = 0;
            return false;
          }
          if (idle_since == 0)
            idle_since = GetTickCount64();
          return GetTickCount64() - idle_since >= kSettleMilliseconds;
        };
        if (!WaitFor(step, Expecting::kNothing, settled))
          return false;
        if (stall_meter_.running()) {
          const StallFigures figures = stall_meter_.End(kTracedStallMilliseconds);
          Log(StallLine(figures));
          for (const Ping& ping : trace_stalls_ ? figures.long_pings : std::vector<Ping>())
            std::fprintf(stderr, "%9.1f ms  stall %.1f ms\n", ping.sent_ms, ping.round_trip_ms);
        }
        clicked_ = nullptr;
        return true;
      }
      case StepKind::kExpectClosed:
        if (!WaitFor(step, Expecting::kNothing, [&] { return !target_.Running(); }))
          return false;
        Log("closed");
        return true;
    }
    return Fail(step, "unknown step");
  }

  bool PlayOwn(const Step& at, const OwnStep& step) {
    Trace("step " + at.source);
    HWND main = target_.MainWindow();
    if (!main)
      return Fail(at, "the main window is gone");
    if (step.kind == OwnKind::kChars) {
      // Each character as the keyboard's translation delivers it, to the focused control, once
      // the window has taken the keyboard (under Wine that can come a moment after it shows).
      HWND focus = nullptr;
      if (!WaitFor(at, Expecting::kNothing, [&] { return (focus = Focus()) != nullptr; }))
        return false;
      for (const wchar_t c : Wide(step.text))
        PostMessageW(focus, WM_CHAR, c, 1);
      return true;
    }
    if (step.kind == OwnKind::kAlt) {
      // The character the keyboard's translation makes of Alt and a letter: context code (bit
      // 29) set for the Alt key held.
      for (const wchar_t c : Wide(step.text))
        PostMessageW(main, WM_SYSCHAR, c, 1 | static_cast<LPARAM>(1) << 29);
      return true;
    }
    if (step.kind == OwnKind::kWaitFocus) {
      if (!WaitFor(at, Expecting::kNothing, [&] {
            HWND focus = Focus();
            return focus && GetDlgCtrlID(focus) == step.id && IsChild(main, focus);
          }))
        return false;
      Log("focus " + std::to_string(step.id));
      return true;
    }
    // A control the program makes as it goes (a station's tile) is waited for too.
    std::optional<std::string> shown;
    const bool read = WaitFor(at, Expecting::kNothing, [&] {
      HWND control = GetDlgItem(main, step.id);
      if (const auto now = control ? ControlText(control) : std::nullopt)
        shown = now;
      return shown && (step.kind == OwnKind::kRead || *shown == step.text);
    });
    if (shown)
      Log(TextLine(step.id, *shown));
    return read;
  }

  // Clicks `control` and waits for a sign that the program took the click: for a download button
  // the operation it starts (the buttons switched off, or a dialog up), for any other control the
  // focus on it. On a loaded machine a click under Wine can come to nothing, so a click with no
  // sign a while later is made again, as a user clicks again; a click that reaches the program
  // mid-operation does nothing. A control that takes no clicks yet (the window still finishing)
  // is waited for.
  bool Click(const Step& step, HWND main, HWND control) {
    // A click that arrives while the program is still starting up is lost on a busy machine.
    target_.WaitUntilIdle(kIdleMilliseconds);
    if (measure_stalls_)
      stall_meter_.Begin(main);
    const bool download = IsDownloadButton(step.id);
    // Another button whose dialog the next step answers: the dialog up is the sign too.
    const bool opens_dialog = download || next_answers_dialog_;
    ULONGLONG clicked_at = 0;
    const auto taken = [&] {
      if (clicked_at != 0 && (download ? OperationStarted() : Focus() == control))
        return true;
      if (clicked_at != 0 && opens_dialog && !target_.Dialogs().empty())
        return true;
      if (clicked_at == 0 || GetTickCount64() - clicked_at > kPressAgainMilliseconds) {
        if (PostClick(control))
          clicked_at = GetTickCount64();
      }
      return false;
    };
    // The dialog a download button opens is the next step's to answer.
    if (!WaitFor(step, opens_dialog ? Expecting::kAnyDialog : Expecting::kNothing, taken))
      return false;
    clicked_ = control;
    return true;
  }

  static bool AnswersDialog(StepKind kind) {
    return kind == StepKind::kFile || kind == StepKind::kCancelFile || kind == StepKind::kBox ||
           kind == StepKind::kAbout;
  }

  static bool IsDownloadButton(int id) {
    return std::ranges::find(control::kDownloadButtons, id) != control::kDownloadButtons.end();
  }

  // A download button's click has started its operation: a download button is off or the program
  // shows a dialog.
  bool OperationStarted() {
    HWND main = target_.MainWindow();
    if (!main || !target_.Dialogs().empty())
      return true;
    for (int id : control::kDownloadButtons) {
      if (!IsWindowEnabled(GetDlgItem(main, id)))
        return true;
    }
    return false;
  }

  // The five download buttons take clicks, nothing holds the window, and the operation a click
  // started is over: the window gives the focus back to the clicked control as its last act,
  // after the buttons come back and the last box closes (input until then is dropped).
  bool Idle() {
    HWND main = target_.MainWindow();
    if (!main || !IsWindowVisible(main) || !IsWindowEnabled(main))
      return false;
    for (int id : control::kDownloadButtons) {
      if (!IsWindowEnabled(GetDlgItem(main, id)))
        return false;
    }
    return !clicked_ || Focus() == clicked_;
  }

  // The program's focused window, or nullptr.
  HWND Focus() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(target_.thread_id(), &info) ? info.hwndFocus : nullptr;
  }

  // Logs a title or progress position that differs from the last one logged, while the main
  // window is on screen.
  void Watch() {
    HWND main = target_.MainWindow();
    if (!main || !IsWindowVisible(main))
      return;
    const std::string title = Caption(main);
    // A window destroyed while its caption was read (the program closing) reads as untitled.
    if (!IsWindow(main))
      return;
    if (title != last_title_) {
      last_title_ = title;
      Log(script::TitleLine(title));
    }
    if (const auto position =
            SendWithin(GetDlgItem(main, control::kProgressBar), PBM_GETPOS, 0, 0, 100);
        position && *position != last_progress_) {
      last_progress_ = static_cast<int>(*position);
      Log(script::ProgressLine(last_progress_));
    }
  }

  // Polls until `ready` holds; fails on time-out, when the program ends (unless waited for) or
  // when a dialog the wait does not accept shows up (other than `closing`, which was answered).
  template <typename Ready>
  bool WaitFor(const Step& step, Expecting expecting, Ready ready, HWND closing = nullptr) {
    const ULONGLONG end = GetTickCount64() + timeout_;
    for (;;) {
      Watch();
      // A window of the program's without a title of its own shows the program's name as its
      // caption, as a box does, and takes what is meant for the box.
      if (const std::vector<HWND> nameless = target_.NamelessWindows(); !nameless.empty())
        return Fail(step, "a window without a title: " + DescribeNameless(nameless.front()));
      if (ready())
        return true;
      for (HWND dialog : target_.Dialogs()) {
        if (dialog == closing)
          continue;
        if (expecting == Expecting::kAnyDialog)
          continue;
        const bool file = IsFileDialog(dialog);
        if (expecting == Expecting::kNothing || file != (expecting == Expecting::kFileDialog))
          return Fail(step, "unexpected window: " + Describe(dialog));
      }
      if (!target_.Running() && step.kind != StepKind::kExpectClosed)
        return Fail(step, "the program ended");
      if (GetTickCount64() > end)
        return Fail(step, "timed out after " + std::to_string(timeout_ / 1000) + " s");
      Sleep(kPollMilliseconds);
    }
  }

  // The next dialog of the wanted kind, once it is on screen.
  HWND WaitForDialog(const Step& step, bool file) {
    HWND found = nullptr;
    const auto shown = [&] {
      for (HWND dialog : target_.Dialogs()) {
        if (IsFileDialog(dialog) == file)
          found = dialog;
      }
      return found != nullptr;
    };
    return WaitFor(step, file ? Expecting::kFileDialog : Expecting::kOtherDialog, shown) ? found
                                                                                         : nullptr;
  }

  // Presses `button` and waits until its dialog is destroyed, not only hidden: until then it may
  // hold the focus. A dialog that is still up a while later has not seen the click (under load
  // Wine can drop one that reaches a dialog just shown), so it is pressed again, as a user would.
  bool PressUntilGone(const Step& step, HWND dialog, HWND button) {
    if (!PostClick(button))
      return Fail(step, "the button does not take a click");
    ULONGLONG pressed = GetTickCount64();
    const auto gone = [&] {
      if (!IsWindow(dialog))
        return true;
      if (GetTickCount64() - pressed > kPressAgainMilliseconds && IsWindowVisible(dialog)) {
        PostClick(button);
        pressed = GetTickCount64();
      }
      return false;
    };
    return WaitFor(step, Expecting::kNothing, gone, dialog);
  }

  // The texts of a dialog's visible controls that have one, in order; nullopt when a control did
  // not answer.
  static std::optional<std::vector<std::string>> Texts(HWND dialog) {
    std::vector<std::string> texts;
    for (HWND child : VisibleChildren(dialog)) {
      std::optional<std::string> text = ControlText(child);
      if (!text)
        return std::nullopt;
      if (!text->empty())
        texts.push_back(std::move(*text));
    }
    return texts;
  }
  // "CAPTION | TEXT | ...": what an unexpected window showed.
  std::string Describe(HWND dialog) const {
    std::string line = script::LoggedCaption(Caption(dialog), program_title_);
    for (const std::string& text : Texts(dialog).value_or(std::vector<std::string>{"..."}))
      line += " | " + script::Flatten(text);
    return line;
  }

  // "CLASS WIDTHxHEIGHT" of a window without a title.
  static std::string DescribeNameless(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    RECT area{};
    GetWindowRect(window, &area);
    return std::string(name) + " " + std::to_string(area.right - area.left) + "x" +
           std::to_string(area.bottom - area.top);
  }

  // What `read` reads from the dialog the step answers, read again until the program answers (a
  // program starved of time on a loaded machine misses a read's time limit now and then).
  template <typename Read>
  auto ReadFrom(const Step& step, Expecting expecting, Read read) -> decltype(read()) {
    decltype(read()) value;
    if (!WaitFor(step, expecting, [&] { return (value = read()).has_value(); }))
      return std::nullopt;
    return value;
  }

  bool AnswerFileDialog(const Step& step) {
    HWND dialog = WaitForDialog(step, true);
    if (!dialog)
      return false;
    const auto filter =
        ReadFrom(step, Expecting::kFileDialog, [&] { return FileDialogFilter(dialog); });
    if (!filter)
      return false;
    Log(script::FileDialogLine(*filter));
    Log(std::string("file-dialog-read-only ") + (ReadOnlyBoxHidden(dialog) ? "hidden" : "shown"));
    if (step.kind == StepKind::kFile) {
      const std::string path = WindowsPath(step.text);
      if (!WaitFor(step, Expecting::kFileDialog,
                   [&] { return SetControlText(FileNameField(dialog), path); }))
        return false;
    }
    return PressUntilGone(step, dialog,
                          GetDlgItem(dialog, step.kind == StepKind::kFile ? IDOK : IDCANCEL));
  }

  bool AnswerDialog(const Step& step) {
    HWND dialog = WaitForDialog(step, false);
    if (!dialog)
      return false;
    const std::string caption = script::LoggedCaption(Caption(dialog), program_title_);
    if (step.kind == StepKind::kAbout) {
      const auto texts = ReadFrom(step, Expecting::kOtherDialog, [&] { return Texts(dialog); });
      if (!texts)
        return false;
      Log(script::AboutLine(caption, *texts));
    } else {
      // A message box keeps its text in the static control 0xFFFF.
      const auto text = ReadFrom(step, Expecting::kOtherDialog,
                                 [&] { return ControlText(GetDlgItem(dialog, 0xFFFF)); });
      if (!text)
        return false;
      Log(script::BoxLine(caption, *text));
    }
    return PressUntilGone(step, dialog, GetDlgItem(dialog, kOkButton));
  }

  // A script's relative path is relative to the program's working folder.
  std::string WindowsPath(std::string path) const {
    for (char& c : path) {
      if (c == '/')
        c = '\\';
    }
    const bool absolute = path.size() > 1 && (path[1] == ':' || path.starts_with("\\\\"));
    return absolute ? path : work_dir_ + "\\" + path;
  }

  // Closes the program as the close box would, and waits for it to end with no window left.
  bool CloseProgram() {
    const Step end{StepKind::kExpectClosed, 0, 0, {}, 0, "end of script"};
    if (!target_.Running())
      return true;
    // Sent again while the program stays, as a user clicks the close box again: one that reached
    // the window while it was still busy was dropped.
    ULONGLONG sent = 0;
    const auto ended = [&] {
      if (!target_.Running())
        return true;
      if (sent == 0 || GetTickCount64() - sent > kPressAgainMilliseconds) {
        PostMessageA(target_.MainWindow(), WM_SYSCOMMAND, SC_CLOSE, 0);
        sent = GetTickCount64();
      }
      return false;
    };
    if (WaitFor(end, Expecting::kNothing, ended))
      return true;
    target_.Kill();
    return false;
  }

  Target& target_;
  const std::string program_title_;
  const std::string work_dir_;
  const DWORD timeout_;
  const bool measure_stalls_;
  const bool trace_stalls_ = std::getenv("QVX_STALL_TRACE") != nullptr;
  std::string last_title_;
  int last_progress_ = 0;             // the bar's position before anything moves it
  bool next_answers_dialog_ = false;  // the step after the one playing answers a dialog
  HWND clicked_ = nullptr;  // the control of the last click or key no wait-idle has seen through
  StallMeter stall_meter_;
};

// The file name without folder and extension, as the program's title.
std::string ProgramTitle(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string Quoted(const std::string& argument) {
  return "\"" + argument + "\"";
}

int Main(int argc, char** argv) {
  // The log is compared byte for byte with the Linux twin's: plain LF line ends.
  _setmode(_fileno(stdout), _O_BINARY);
  std::vector<std::string> args(argv + 1, argv + argc);
  DWORD timeout = 120000;
  bool measure_stalls = false;
  int main_control = Target::kDownloadPictureButton;
  for (;;) {
    if (args.size() >= 2 && args[0] == "--timeout") {
      timeout = static_cast<DWORD>(std::stoul(args[1])) * 1000;
      args.erase(args.begin(), args.begin() + 2);
    } else if (args.size() >= 2 && args[0] == "--main-control") {
      main_control = std::stoi(args[1]);
      args.erase(args.begin(), args.begin() + 2);
    } else if (!args.empty() && args[0] == "--stalls") {
      measure_stalls = true;
      args.erase(args.begin());
    } else {
      break;
    }
  }
  if (args.size() < 3) {
    std::fputs(
        "usage: qvx5120-window-driver [--timeout SECONDS] [--stalls] [--main-control ID] SCRIPT "
        "WORK_DIR PROGRAM [ARGUMENT...]\n",
        stderr);
    return 2;
  }
  std::ifstream file(args[0]);
  std::string error = "cannot read the script";
  const auto steps = file ? ReadDriverScript(file, error) : std::nullopt;
  if (!steps) {
    std::fprintf(stderr, "qvx5120-window-driver: %s: %s\n", args[0].c_str(), error.c_str());
    return 2;
  }
  std::string command_line = Quoted(args[2]);
  for (size_t i = 3; i < args.size(); ++i)
    command_line += " " + Quoted(args[i]);
  Target target(main_control);
  if (!target.Start(command_line, args[1])) {
    std::fprintf(stderr, "qvx5120-window-driver: cannot start %s\n", args[2].c_str());
    return 2;
  }
  Driver driver(target, ProgramTitle(args[2]), args[1], timeout, measure_stalls);
  return driver.Run(*steps) ? 0 : 1;
}

}  // namespace
}  // namespace qvx::driver

int main(int argc, char** argv) {
  return qvx::driver::Main(argc, argv);
}
