// Formatting of the operation texts.
#include "download/text_format.h"

namespace qvx {

std::string FormatStep(const char* format, int number) {
  std::string text = format;
  const auto at = text.find("%i");
  if (at != std::string::npos)
    text.replace(at, 2, std::to_string(number));
  return text;
}

std::string AmplitudeRefusalText(int channel) {
  // Channel 2's message has always been spelt with "CH".
  const char* prefix = channel == 2 ? "CH " : "Ch ";
  return prefix + std::to_string(channel) + kAmplitudeRefusedText;
}

std::string FailureMessage(const std::string& what_failed, const OperationTexts& texts, int slot) {
  return kFailedText + what_failed + "\n" + FormatStep(texts.slot, slot) + kIncompleteText;
}

}  // namespace qvx
