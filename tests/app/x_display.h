// A display of the test's own for programs run as a user runs them: an Xvfb server started on the
// first free display number, and what the test reads and does through the X server (a top-level
// window found by its title, its title read back, the keyboard focus given to it, its close box),
// as a window manager would. Kept apart from Qt code, whose names the X headers' macros clash with.
#pragma once

#include <sys/types.h>
#include <memory>
#include <optional>
#include <string>

namespace qvx::test {

class XDisplay {
 public:
  // Starts Xvfb and connects to it; ok() says whether that worked, error() why not.
  XDisplay();
  // Stops the server.
  ~XDisplay();
  XDisplay(const XDisplay&) = delete;
  XDisplay& operator=(const XDisplay&) = delete;

  bool ok() const;
  const std::string& error() const { return error_; }
  // ":N", for DISPLAY.
  const std::string& name() const { return name_; }

  // The first top-level window whose title starts with `prefix`.
  std::optional<unsigned long> FindWindow(const std::string& prefix);
  // The window's title (_NET_WM_NAME, else WM_NAME); empty once the window is gone.
  std::string Title(unsigned long window);
  // Keyboard input goes to the window from now on.
  void Focus(unsigned long window);
  // The window's close box: WM_DELETE_WINDOW, as a window manager sends it.
  void Close(unsigned long window);

 private:
  struct Connection;
  std::unique_ptr<Connection> x_;
  pid_t server_ = -1;
  std::string name_;
  std::string error_;
};

}  // namespace qvx::test
