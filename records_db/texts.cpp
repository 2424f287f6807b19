// Texts of the database side that carry a value.
#include "records_db/texts.h"

namespace qvx::records_db::text {

std::string NotJson(size_t byte) {
  return "not a record: not JSON (at byte " + std::to_string(byte) + ")";
}

std::string Unreadable(std::string_view path) {
  return std::string(path) + ": cannot be read";
}

std::string WrongEncoding(std::string_view encoding) {
  return "the database's encoding is " + std::string(encoding) +
         ": the records need UTF8 (createdb --encoding=UTF8 --template=template0)";
}

std::string NotAConnection(std::string_view why) {
  return "not a connection string or postgresql:// URL: " + std::string(why);
}

std::string AtLine(std::string_view path, int64_t line, std::string_view what) {
  return std::string(path) + ":" + std::to_string(line) + ": " + std::string(what);
}

std::string Skipped(std::string_view path, int64_t line, std::string_view why) {
  return AtLine(path, line, std::string(why) + "; skipped");
}

std::string KeptAsText(std::string_view why) {
  return "the database's jsonb refused it (" + std::string(why) + "): kept as text";
}

std::string NotYetShipped(size_t count) {
  return "records not yet shipped: " + std::to_string(count);
}

std::string Refused(std::string_view why) {
  return "the database refused: " + std::string(why);
}

std::string ShipperProblem(const DatabaseError& error, bool mark_known) {
  std::string text = error.connection_lost() ? std::string(error.what()) : Refused(error.what());
  if (!mark_known)
    text += std::string("; ") + kUnknownShipped;
  return text;
}

}  // namespace qvx::records_db::text
