// The station windows' texts that carry a value.
#include "station_window/texts.h"

#include "station_http/texts.h"

#include <cstdio>

namespace qvx::station_window::text {

std::string Title(int passed, int failed) {
  return std::string(kApplicationName) + " - " + std::to_string(passed) + " passed, " +
         std::to_string(failed) + " failed";
}

std::string SocketHeading(std::string_view port) {
  return "Socket " + std::string(port);
}

std::string LabelLine(std::string_view label) {
  return "Label " + std::string(label);
}

std::string OperationLine(size_t index, size_t total, std::string_view name, int attempt) {
  std::string line =
      std::to_string(index + 1) + " of " + std::to_string(total) + ": " + std::string(name);
  if (attempt > 1)
    line += " (attempt " + std::to_string(attempt) + ")";
  return line;
}

std::string TileName(std::string_view port, std::string_view serial, std::string_view state) {
  std::string name = SocketHeading(port);
  if (!serial.empty())
    name += ", " + std::string(serial);
  return name + ", " + std::string(state);
}

std::string TotalsText(int passed, int failed, double units_per_hour) {
  char text[128];
  std::snprintf(text, sizeof text, "Passed %d   Failed %d   %.1f units per hour", passed, failed,
                units_per_hour);
  return text;
}

std::string SetText(std::string_view file_name, std::string_view sha256) {
  return "Set " + std::string(file_name) + "  " + std::string(sha256.substr(0, 12));
}

std::string OperatorText(std::string_view name) {
  return "Operator " + std::string(name);
}

std::string WorkOrderText(std::string_view order) {
  return "Work order " + std::string(order);
}

std::string NextLabelText(std::string_view label) {
  return "Next unit plugged in: " + std::string(label);
}

std::string SetRefused(std::string_view file, std::string_view why) {
  return std::string(file) + " cannot be loaded: " + std::string(why) + "; " + kNothingSent + ".";
}

std::string RecordsNote(std::string_view note) {
  std::string text(note);
  if (!text.empty() && text.front() >= 'a' && text.front() <= 'z')
    text.front() = static_cast<char>(text.front() - 'a' + 'A');
  return text;
}

std::string RecordsFailed(std::string_view why) {
  return RecordsNote(why) + ".";
}

std::string Usage() {
  return "Usage: qvx5120-station [OPTION]...\n"
         "\n"
         "The station window: one tile per USB socket; each QVX5120 plugged in is loaded with the\n"
         "content set and shows PASS or FAIL until it is pulled.\n"
         "\n"
         "  --set SET          the content set to load (else chosen with Open)\n"
         "  --lock             run that set and no other: Open is not offered\n"
         "  --operator TEXT    into every record\n"
         "  --work-order TEXT  into every record\n"
         "  --record FILE      append the records to FILE (else to the set's own record file)\n"
         "  --retries N        further attempts, 0 to 5, at an operation a device fault stopped\n"
         "  --stop-after N     stop once N units have finished\n"
         "  --ship URL         each record line, once on disk, goes on to the line's database at\n"
         "                     URL (Linux)\n"
         "  --help             show this help and exit\n"
         "  --version          show the version and exit\n"
         "\n"
         "The station's HTTP interface (Linux), served while the window is open:\n" +
         station_http::text::OptionsUsage();
}

std::string UnknownOption(std::string_view option) {
  return "unknown option \"" + std::string(option) + "\" (see --help)";
}

}  // namespace qvx::station_window::text
