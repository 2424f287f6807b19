#include "emulator/violation.h"

#include "emulator/text.h"

namespace qvx::vg {

std::string Violation::Text() const {
  std::string text;
  switch (rule) {
    case Rule::kUnknownCommand:
      text = Format("unknown command byte %02X", byte);
      break;
    case Rule::kOutsideLoadingMode:
      text = Format("command %02X outside loading mode", byte);
      break;
    case Rule::kAddressPastEnd:
      text = Format("address %06X past the end of flash", address);
      break;
    case Rule::kEraseNotSectorStart:
      text = Format("erase at %06X, which is not a sector start", address);
      break;
    case Rule::kNonZeroPadding:
      text = Format("non-zero padding %02X at block byte %zu", byte, at);
      break;
    case Rule::kStorePastEnd:
      text = Format("%.*s at %06X reaches past the end of flash", static_cast<int>(what.size()),
                    what.data(), address);
      break;
    case Rule::kRaisesBits:
      text = Format("%.*s at %06X programs 0 bits to 1 in %zu bytes, first at byte %06zX",
                    static_cast<int>(what.size()), what.data(), address, count, at);
      break;
  }
  return text + " at wire offset " + std::to_string(wire_offset);
}

}  // namespace qvx::vg
