// The control token, read from the file --http-token names. The file must be a regular file of
// this user's, readable and writable by its owner alone (mode 0600 or 0400): a token others can
// read is no secret. The token is its first line, without the line break; it is held in memory
// only and never written out.
#pragma once

#include <optional>
#include <string>

namespace qvx::station_http {

// Tokens shorter than this are refused: a short one can be guessed.
inline constexpr size_t kTokenLeast = 16;
inline constexpr size_t kTokenMost = 4096;

struct TokenRead {
  std::optional<std::string> token;
  std::string error;  // the whole message, when `token` is empty
};

TokenRead ReadTokenFile(const std::string& path);

// Whether a file's owner alone may read it: none of the group's and others' permission bits.
inline bool PrivateToOwner(unsigned mode) {
  return (mode & 077) == 0;
}

}  // namespace qvx::station_http
