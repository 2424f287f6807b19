// The station core's texts that carry a value.
#include "station_core/texts.h"

namespace qvx::station_core::text {

std::string Missing(std::string_view option, std::string_view what) {
  return std::string(option) + ": missing " + std::string(what);
}

std::string Twice(std::string_view option) {
  return std::string(option) + " is given twice";
}

std::string NotAWholeNumber(std::string_view option, std::string_view typed, int least, int most) {
  return std::string(option) + ": \"" + std::string(typed) + "\" is not a whole number from " +
         std::to_string(least) + " to " + std::to_string(most);
}

std::string Empty(std::string_view option) {
  return std::string(option) + ": the value is empty";
}

std::string RecordsHeldBack(const records::RecordHealth& health, std::string_view path) {
  std::string text = "records held back: ";
  if (health.held > 0) {
    text += std::to_string(health.held) + (health.held == 1 ? " line waits" : " lines wait") +
            " for " + std::string(path);
  } else {
    text += std::string(path) + " takes no line";
  }
  if (!health.reason.empty())
    text += " (" + health.reason + ")";
  return text + "; no load starts until they are written";
}

std::string RecordsLowOnRoom(std::string_view path) {
  return "the file system of " + std::string(path) + " is nearly full: room for fewer than " +
         std::to_string(records::kLowRoomLines) + " more record lines";
}

std::string RecordsState(const records::RecordHealth& health, std::string_view path) {
  if (health.held > 0 || health.failing)
    return RecordsHeldBack(health, path);
  if (health.low_on_room)
    return RecordsLowOnRoom(path);
  return {};
}

std::string NotYetShipped(size_t lines) {
  return "records not yet shipped: " + std::to_string(lines);
}

std::string ControlFrom(std::string_view from) {
  return "from " + std::string(from) + " over HTTP";
}

}  // namespace qvx::station_core::text
