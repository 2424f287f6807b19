// The HTTP interface's texts that carry a value, and the board's words.
#include "station_http/texts.h"

#include <cstdio>

namespace qvx::station_http::text {

namespace {

std::string Quoted(std::string_view text) {
  return "\"" + std::string(text) + "\"";
}

std::string Octal(unsigned mode) {
  char text[16];
  std::snprintf(text, sizeof text, "%04o", mode & 07777);
  return text;
}

}  // namespace

std::string OptionsUsage() {
  return "  --http [ADDRESS:]PORT\n"
         "        serve the station over HTTP: its state, sockets, events, records and a board\n"
         "        for a browser; a bare port listens on loopback only (127.0.0.1), IPv6\n"
         "        addresses go in brackets ([::1]:8080, [::]:8080 for every address)\n"
         "  --http-token FILE\n"
         "        allow control (stop, start, the next label) to requests that carry the token\n"
         "        in FILE; the file must be readable by its owner alone (chmod 600)\n"
         "  --http-cert FILE, --http-key FILE\n"
         "        serve HTTPS with this certificate and key: needed for control from\n"
         "        another machine\n"
         "  --http-host NAME\n"
         "        also answer requests addressed to NAME (or NAME:PORT), such as the station's\n"
         "        host name; may be given more than once\n";
}

std::string Missing(std::string_view option, std::string_view what) {
  return std::string(option) + ": missing " + std::string(what);
}

std::string Twice(std::string_view option) {
  return std::string(option) + " is given twice";
}

std::string GoesWithHttp(std::string_view option) {
  return std::string(option) + " goes with --http";
}

std::string NotAListenAddress(std::string_view typed, std::string_view why) {
  return "--http: " + Quoted(typed) + " is not " + kListenWhat + ": " + std::string(why);
}

std::string NotAHostName(std::string_view typed) {
  return "--http-host: " + Quoted(typed) +
         " is not a host name (letters, digits, dots and hyphens, or an address, with an "
         "optional :PORT)";
}

std::string TokenUnreadable(std::string_view path, std::string_view why) {
  return "--http-token: " + std::string(path) + ": " + std::string(why);
}

std::string TokenNotAFile(std::string_view path) {
  return "--http-token: " + std::string(path) + ": not a file";
}

std::string TokenNotOwned(std::string_view path) {
  return "--http-token: " + std::string(path) +
         ": the token file belongs to another user; it must be this user's own";
}

std::string TokenNotPrivate(std::string_view path, unsigned mode) {
  return "--http-token: " + std::string(path) + ": other users may read the token file (mode " +
         Octal(mode) + "); it must be readable by its owner alone (chmod 600)";
}

std::string TokenEmpty(std::string_view path) {
  return "--http-token: " + std::string(path) + ": the token file is empty";
}

std::string TokenTooShort(std::string_view path, size_t least) {
  return "--http-token: " + std::string(path) + ": the token is shorter than " +
         std::to_string(least) + " characters";
}

std::string TokenTooLong(std::string_view path, size_t most) {
  return "--http-token: " + std::string(path) + ": the token is longer than " +
         std::to_string(most) + " characters";
}

std::string TokenBadCharacters(std::string_view path) {
  return "--http-token: " + std::string(path) +
         ": the token holds spaces or characters other than printable ASCII";
}

std::string KeyNotPrivate(std::string_view path, unsigned mode) {
  return "--http-key: " + std::string(path) + ": every user may read the key (mode " + Octal(mode) +
         "); make it private (chmod 600)";
}

std::string TlsRefused(std::string_view cert, std::string_view key, std::string_view why) {
  return "--http-cert " + std::string(cert) + ", --http-key " + std::string(key) +
         ": cannot serve HTTPS: " + std::string(why);
}

std::string CertificateUnreadable(std::string_view why) {
  return "the certificate cannot be read (" + std::string(why) + ")";
}

std::string KeyUnreadable(std::string_view why) {
  return "the key cannot be read (" + std::string(why) + ")";
}

std::string ListenFailed(std::string_view address, std::string_view why) {
  return "--http: cannot listen on " + std::string(address) + ": " + std::string(why);
}

std::string Serving(std::string_view url, std::string_view control) {
  return "HTTP interface on " + std::string(url) + " (" + std::string(control) + ")";
}

std::string MethodNotAllowed(std::string_view method, std::string_view allowed) {
  return "this path does not take " + std::string(method) + " (it takes " + std::string(allowed) +
         ")";
}

std::string BodyTooLarge(size_t most) {
  return "the body is larger than " + std::to_string(most) + " bytes";
}

std::string NotJson(std::string_view why) {
  return "the body is not valid JSON: " + std::string(why);
}

std::string LabelTooLong(size_t most) {
  return "\"label\" is longer than " + std::to_string(most) + " bytes";
}

std::string UnknownParameter(std::string_view name) {
  return "unknown parameter " + Quoted(name);
}

const std::vector<BoardText>& BoardTexts() {
  // The tiles say what the station windows' tiles say.
  static const std::vector<BoardText> texts = {
      {"title", "QVX5120 Station"},
      {"lineTitle", "QVX5120 Line"},
      {"socket", "Socket {port}"},
      {"label", "Label {label}"},
      {"operation", "{number} of {of}: {name}"},
      {"attempt", " (attempt {attempt})"},
      {"pass", "PASS"},
      {"fail", "FAIL"},
      {"empty", "Empty"},
      {"totals", "Passed {passed}   Failed {failed}   Pulled {pulled}   {rate} units per hour"},
      {"set", "Set {name}  {sha}"},
      {"noSet", "No content set"},
      {"operator", "Operator {name}"},
      {"nobody", "Operator -"},
      {"workOrder", "Work order {order}"},
      {"noWorkOrder", "Work order -"},
      {"running", "Running: plug a unit into any socket"},
      {"stopping", "Stopping: no new unit starts, the running loads finish"},
      {"stopped", "Stopped"},
      {"recordsHeldBack", "Records held back: {reason}"},
      {"nextLabel", "Next unit plugged in: {label}"},
      {"connecting", "Connecting to {station}"},
      {"lost", "Connection to {station} lost; trying again"},
      {"noStations", "No stations: give them as /line?stations=HOST:PORT,HOST:PORT"},
      {"badStation", "Not a station address: {station}"},
  };
  return texts;
}

std::string RecordsGone(size_t kept) {
  return "the station keeps its run's last " + std::to_string(kept) +
         " record lines; the older ones are in its record file";
}

}  // namespace qvx::station_http::text
