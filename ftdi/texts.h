// What the open driver says on standard error. It has no window: the program that loaded it shows
// its own texts for the failures it sees through the D2XX calls.
#pragma once

namespace qvx {

// When a bridge fails the check at opening: a printf format with the serial number, the time waited
// and the latency timer in milliseconds.
inline constexpr const char* kOpenDriverUnansweredReadText =
    "libftd2xx (open driver): the FTDI bridge %s left a read unanswered for %d ms, where an "
    "FT245R answers within its latency timer (%d ms); it is not opened\n";

}  // namespace qvx
