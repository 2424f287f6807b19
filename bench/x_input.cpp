#include "bench/x_input.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace bench {

struct XInput::Connection {
  Display* display = nullptr;
  unsigned int return_keycode = 0;
};

XInput::XInput() : x_(std::make_unique<Connection>()) {
  x_->display = XOpenDisplay(nullptr);
  if (x_->display == nullptr)
    return;
  int event_base = 0, error_base = 0, major = 0, minor = 0;
  if (!XTestQueryExtension(x_->display, &event_base, &error_base, &major, &minor)) {
    XCloseDisplay(x_->display);
    x_->display = nullptr;
    return;
  }
  x_->return_keycode = XKeysymToKeycode(x_->display, XK_Return);
}

XInput::~XInput() {
  if (x_->display != nullptr)
    XCloseDisplay(x_->display);
}

bool XInput::ok() const {
  return x_->display != nullptr && x_->return_keycode != 0;
}

void XInput::MovePointer(int x, int y) {
  XTestFakeMotionEvent(x_->display, -1, x, y, CurrentTime);
  XSync(x_->display, False);
}

void XInput::LeftButton(bool down) {
  XTestFakeButtonEvent(x_->display, 1, down ? True : False, CurrentTime);
  XSync(x_->display, False);
}

void XInput::ReturnKey(bool down) {
  XTestFakeKeyEvent(x_->display, x_->return_keycode, down ? True : False, CurrentTime);
  XSync(x_->display, False);
}

bool XInput::TypeCharacter(char c) {
  // Printable ASCII characters are their own keysyms.
  const KeySym keysym = static_cast<unsigned char>(c);
  const KeyCode code = XKeysymToKeycode(x_->display, keysym);
  if (code == 0)
    return false;
  const bool shifted = XkbKeycodeToKeysym(x_->display, code, 0, 0) != keysym;
  const KeyCode shift = XKeysymToKeycode(x_->display, XK_Shift_L);
  if (shifted)
    XTestFakeKeyEvent(x_->display, shift, True, CurrentTime);
  XTestFakeKeyEvent(x_->display, code, True, CurrentTime);
  XTestFakeKeyEvent(x_->display, code, False, CurrentTime);
  if (shifted)
    XTestFakeKeyEvent(x_->display, shift, False, CurrentTime);
  XSync(x_->display, False);
  return true;
}

}  // namespace bench
