// User input delivered through the X server, as a person's mouse and keyboard deliver it: the
// XTest extension on a connection of its own. Kept apart from the Qt code, whose names the X
// headers' macros would clash with.
#pragma once

#include <memory>
#include <string_view>

namespace bench {

class XInput {
 public:
  XInput();
  ~XInput();
  XInput(const XInput&) = delete;
  XInput& operator=(const XInput&) = delete;

  // False when the display cannot be opened or has no XTest extension.
  bool ok() const;

  // Each call reaches the server before it returns.
  void MovePointer(int x, int y);
  void LeftButton(bool down);
  void ReturnKey(bool down);
  // Presses and lets go of the key of one printable ASCII character, with Shift where the
  // keyboard map puts the character on the shifted level. False when the map has no key for it.
  bool TypeCharacter(char c);

 private:
  struct Connection;
  std::unique_ptr<Connection> x_;
};

}  // namespace bench
