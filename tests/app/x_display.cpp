#include "tests/app/x_display.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace qvx::test {

struct XDisplay::Connection {
  Display* display = nullptr;
};

XDisplay::XDisplay() : x_(std::make_unique<Connection>()) {
  int fds[2];
  if (pipe(fds) != 0) {
    error_ = "no pipe";
    return;
  }
  server_ = fork();
  if (server_ == 0) {
    close(fds[0]);
    const int quiet = open("/dev/null", O_WRONLY);
    dup2(quiet, STDOUT_FILENO);
    dup2(quiet, STDERR_FILENO);
    const std::string fd = std::to_string(fds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
           "tcp", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  // The server writes its display number once it takes connections.
  std::string number;
  char c;
  while (read(fds[0], &c, 1) == 1 && c != '\n')
    number += c;
  close(fds[0]);
  if (number.empty()) {
    error_ = "Xvfb did not start (is it installed? scripts/deps installs it)";
    return;
  }
  name_ = ":" + number;
  x_->display = XOpenDisplay(name_.c_str());
  if (x_->display == nullptr)
    error_ = "cannot open display " + name_;
}

XDisplay::~XDisplay() {
  if (x_->display != nullptr)
    XCloseDisplay(x_->display);
  if (server_ > 0) {
    kill(server_, SIGTERM);
    waitpid(server_, nullptr, 0);
  }
}

bool XDisplay::ok() const {
  return x_->display != nullptr;
}

std::string XDisplay::Title(unsigned long window) {
  Display* display = x_->display;
  // A window that is gone raises an X error; the default handler would end the test.
  XSync(display, False);
  auto* previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  std::string title;
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  const Atom net_name = XInternAtom(display, "_NET_WM_NAME", False);
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, window, net_name, 0, 1024, False, utf8, &type, &format, &count,
                         &after, &data) == Success &&
      data != nullptr && type == utf8) {
    title.assign(reinterpret_cast<char*>(data), count);
  } else {
    char* name = nullptr;
    if (XFetchName(display, window, &name) && name != nullptr) {
      title = name;
      XFree(name);
    }
  }
  if (data != nullptr)
    XFree(data);
  XSync(display, False);
  XSetErrorHandler(previous);
  return title;
}

std::optional<unsigned long> XDisplay::FindWindow(const std::string& prefix) {
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(x_->display, DefaultRootWindow(x_->display), &root, &parent, &children, &count))
    return std::nullopt;
  std::optional<unsigned long> found;
  for (unsigned int i = 0; i < count && !found; ++i) {
    if (Title(children[i]).starts_with(prefix))
      found = children[i];
  }
  if (children != nullptr)
    XFree(children);
  return found;
}

void XDisplay::Focus(unsigned long window) {
  XSetInputFocus(x_->display, window, RevertToParent, CurrentTime);
  XSync(x_->display, False);
}

void XDisplay::Close(unsigned long window) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(x_->display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(x_->display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(x_->display, window, False, NoEventMask, &event);
  XSync(x_->display, False);
}

}  // namespace qvx::test
