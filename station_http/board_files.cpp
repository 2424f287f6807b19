// Finding the board's files.
#include "station_http/board_files.h"

namespace qvx::station_http {

const BoardFile* BoardFileAt(std::string_view path) {
  std::string_view name;
  if (path == "/" || path == "/line")
    name = "index.html";
  else if (path.starts_with(kBoardPrefix))
    name = path.substr(kBoardPrefix.size());
  else
    return nullptr;
  for (size_t i = 0; i < kBoardFileCount; ++i) {
    if (kBoardFiles[i].name == name)
      return &kBoardFiles[i];
  }
  return nullptr;
}

const char* ContentTypeOf(std::string_view name) {
  if (name.ends_with(".html"))
    return "text/html; charset=utf-8";
  if (name.ends_with(".js"))
    return "text/javascript; charset=utf-8";
  if (name.ends_with(".css"))
    return "text/css; charset=utf-8";
  if (name.ends_with(".svg"))
    return "image/svg+xml";
  return "application/octet-stream";
}

}  // namespace qvx::station_http
