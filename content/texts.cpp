// The content layer's texts that carry a value.
#include "content/texts.h"

#include <string>

namespace qvx::content::text {

std::string SetRetries(int most) {
  return "must be a whole number from 0 to " + std::to_string(most);
}

std::string PinMismatch(std::string_view file, std::string_view actual, std::string_view pinned) {
  return std::string(file) + ": its SHA-256 is " + std::string(actual) + ", but the set pins " +
         std::string(pinned) + "; it was changed after it was pinned";
}

std::string SetNoSuchSlot(int first, int last) {
  return "no such slot (" + std::to_string(first) + " to " + std::to_string(last) + ")";
}

std::string SetNamedTwice(std::string_view key) {
  return "the slot is also named by " + std::string(key);
}

std::string SetSyntaxError(int line, int column, std::string_view description) {
  return "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " +
         std::string(description);
}

}  // namespace qvx::content::text
