// How long a window takes to handle input while it works, measured through the X server: every
// interval, a key typed into the window's focused field (a character, then BackSpace, through
// XTest), followed by a _NET_WM_PING. The window system's toolkit answers the ping from the
// window's event loop, after the keys queued before it, so the time from the key to the answer is
// the input's wait for the window. Prints the count, median, 99th percentile and longest wait in
// ms, and the window's title at the end.
//
//   qvx_window_ping TITLE_PREFIX SECONDS [INTERVAL_MS]
//
// Waits up to 20 s for a top-level window whose title begins with TITLE_PREFIX.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::string TitleOf(Display* display, Window window) {
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  const Atom net_name = XInternAtom(display, "_NET_WM_NAME", False);
  Atom type = None;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  std::string title;
  if (XGetWindowProperty(display, window, net_name, 0, 1024, False, utf8, &type, &format, &items,
                         &after, &data) == Success &&
      data != nullptr) {
    title.assign(reinterpret_cast<char*>(data), items);
    XFree(data);
  }
  return title;
}

// The first window under the root, depth first, whose title begins with `prefix`.
std::optional<Window> FindWindow(Display* display, Window under, const std::string& prefix) {
  if (TitleOf(display, under).rfind(prefix, 0) == 0)
    return under;
  Window root = 0, parent = 0, *children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display, under, &root, &parent, &children, &count))
    return std::nullopt;
  std::optional<Window> found;
  for (unsigned int i = 0; i < count && !found; ++i)
    found = FindWindow(display, children[i], prefix);
  if (children != nullptr)
    XFree(children);
  return found;
}

void TypeKey(Display* display, KeySym keysym) {
  const KeyCode code = XKeysymToKeycode(display, keysym);
  XTestFakeKeyEvent(display, code, True, CurrentTime);
  XTestFakeKeyEvent(display, code, False, CurrentTime);
}

// Sends a ping with `stamp` and waits up to 5 s for the window's answer; the wait, or nothing.
std::optional<double> Ping(Display* display, Window window, long stamp, Clock::time_point since) {
  const Window root = DefaultRootWindow(display);
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "_NET_WM_PING", False));
  event.xclient.data.l[1] = stamp;
  event.xclient.data.l[2] = static_cast<long>(window);
  XSendEvent(display, window, False, NoEventMask, &event);
  XFlush(display);
  const auto deadline = since + std::chrono::seconds(5);
  while (Clock::now() < deadline) {
    while (XPending(display) > 0) {
      XEvent answer;
      XNextEvent(display, &answer);
      if (answer.type == ClientMessage && answer.xclient.window == root &&
          answer.xclient.data.l[1] == stamp)
        return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
    }
    pollfd fd{ConnectionNumber(display), POLLIN, 0};
    poll(&fd, 1, 5);
  }
  return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: qvx_window_ping TITLE_PREFIX SECONDS [INTERVAL_MS]\n");
    return 2;
  }
  const std::string prefix = argv[1];
  const double seconds = std::atof(argv[2]);
  const int interval_ms = argc > 3 ? std::atoi(argv[3]) : 100;
  Display* display = XOpenDisplay(nullptr);
  int ev = 0, er = 0, major = 0, minor = 0;
  if (display == nullptr || !XTestQueryExtension(display, &ev, &er, &major, &minor)) {
    std::fprintf(stderr, "qvx_window_ping: no display with the XTest extension\n");
    return 1;
  }
  // The answers go to the root window, to those who listen for its structure changes.
  XSelectInput(display, DefaultRootWindow(display), StructureNotifyMask);
  std::optional<Window> window;
  for (int i = 0; i < 200 && !window; ++i) {
    window = FindWindow(display, DefaultRootWindow(display), prefix);
    if (!window)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (!window) {
    std::fprintf(stderr, "qvx_window_ping: no window titled \"%s...\"\n", prefix.c_str());
    return 1;
  }
  std::vector<double> waits;
  int unanswered = 0;
  const auto end = Clock::now() + std::chrono::duration<double>(seconds);
  for (long stamp = 1; Clock::now() < end; ++stamp) {
    const auto since = Clock::now();
    TypeKey(display, XK_a);
    TypeKey(display, XK_BackSpace);
    if (const auto wait = Ping(display, *window, stamp, since))
      waits.push_back(*wait);
    else
      ++unanswered;
    std::this_thread::sleep_until(since + std::chrono::milliseconds(interval_ms));
  }
  std::sort(waits.begin(), waits.end());
  if (waits.empty()) {
    std::fprintf(stderr, "qvx_window_ping: the window answered no ping\n");
    return 1;
  }
  std::printf("inputs %zu, unanswered %d, wait p50 %.1f ms, p99 %.1f ms, longest %.1f ms\n",
              waits.size(), unanswered, waits[waits.size() / 2], waits[waits.size() * 99 / 100],
              waits.back());
  std::printf("title: %s\n", TitleOf(display, *window).c_str());
  XCloseDisplay(display);
  return unanswered == 0 ? 0 : 1;
}
