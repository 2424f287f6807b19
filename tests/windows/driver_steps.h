// The steps only the Win32 driver plays, beside the shared ones of tests/windows/script.h: keys
// typed as characters and the texts of a window's controls read back, for the windows whose
// state is in their texts (the station window's bar and tiles). Their lines stand in the same
// script file as the shared steps.
//
//   chars TEXT          each character of TEXT typed into the focused control
//   wait-text ID TEXT   waits until control ID shows TEXT, then logs "text ID | TEXT"
//   read ID             logs what control ID shows, as "text ID | ..."
//   wait-focus ID       waits until control ID has the keyboard focus, then logs "focus ID"
//   alt LETTER          Alt with the letter, as a mnemonic is pressed, to the main window
#pragma once

#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/windows/script.h"

namespace qvx::driver {

enum class OwnKind { kChars, kWaitText, kRead, kWaitFocus, kAlt };

struct OwnStep {
  OwnKind kind = OwnKind::kRead;
  int id = 0;
  std::string text;
};

// One line of a script: a shared step, or one of the driver's own (with `at` saying where it
// stands, for the log).
struct Entry {
  script::Step at;
  std::optional<OwnStep> own;
};

// Every step of a script in order; on a malformed line nothing, and `error` says which and why.
std::optional<std::vector<Entry>> ReadDriverScript(std::istream& in, std::string& error);

// "text 2014 | Running: plug a unit into any socket"
std::string TextLine(int id, std::string_view text);

}  // namespace qvx::driver
