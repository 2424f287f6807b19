// The board's files (its pages, script, style and icon), kept in the program itself, made from
// station_http/board/ when it is built: the board needs nothing from outside the station.
#pragma once

#include <string_view>

namespace qvx::station_http {

struct BoardFile {
  std::string_view name;  // "board.js"
  std::string_view bytes;
};

inline constexpr std::string_view kBoardPrefix = "/board/";
// The board's texts, made from the texts file when asked for.
inline constexpr const char* kBoardTextsPath = "/board/texts.js";

// The file a path names ("/" and "/line" are index.html, whose script tells them apart;
// "/board/NAME" is the file NAME), or null.
const BoardFile* BoardFileAt(std::string_view path);
// "text/html; charset=utf-8", by the name's extension.
const char* ContentTypeOf(std::string_view name);

// Made at build time from station_http/board/.
extern const BoardFile kBoardFiles[];
extern const size_t kBoardFileCount;

}  // namespace qvx::station_http
