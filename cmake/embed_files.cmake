# Writes OUTPUT, a C++ file that holds FILES (names relative to SOURCE_DIR, separated by ";") as
# byte arrays, with the table station_http/board_files.h declares. Run as a script:
#   cmake -DSOURCE_DIR=... -DFILES="a.html;b.js" -DOUTPUT=... -P embed_files.cmake
set(arrays "")
set(table "")
set(index 0)
foreach(name IN LISTS FILES)
  file(READ "${SOURCE_DIR}/${name}" hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "((0x..,){24})" "\\1\n    " bytes "${bytes}")
  string(APPEND arrays "const unsigned char kFile${index}[] = {\n    ${bytes}};\n")
  string(APPEND table "    {\"${name}\", {reinterpret_cast<const char*>(kFile${index}), sizeof kFile${index}}},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE "${OUTPUT}.new"
"// Made by cmake/embed_files.cmake from station_http/board/: do not edit.
#include \"station_http/board_files.h\"

namespace qvx::station_http {

namespace {
${arrays}}  // namespace

const BoardFile kBoardFiles[] = {
${table}};
const size_t kBoardFileCount = ${index};

}  // namespace qvx::station_http
")
# Only a changed file is written, so that an unchanged board compiles nothing again.
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
