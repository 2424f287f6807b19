// Formatting of the texts the download operations show (the texts themselves are in
// device/texts.h).
#pragma once

#include <string>

#include "download/texts.h"

namespace qvx {

// Replaces the one "%i" of `format` with the decimal number.
std::string FormatStep(const char* format, int number);

// The box of an amplitude refused on audio channel 1..4.
std::string AmplitudeRefusalText(int channel);

// The one box a failed download shows: what failed, and that the slot's content is incomplete.
std::string FailureMessage(const std::string& what_failed, const OperationTexts& texts, int slot);

}  // namespace qvx
