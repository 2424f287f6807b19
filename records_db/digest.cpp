// SHA-256 through OpenSSL's libcrypto, which the content layer's file digests use on Linux too.
#include "records_db/digest.h"

#include <openssl/evp.h>

#include <array>
#include <stdexcept>

namespace qvx::records_db {

std::string Sha256Hex(std::string_view bytes) {
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int size = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &size, EVP_sha256(), nullptr) != 1)
    throw std::runtime_error("SHA-256 failed");
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(size * 2);
  for (unsigned int i = 0; i < size; ++i) {
    hex += kDigits[digest[i] >> 4];
    hex += kDigits[digest[i] & 15];
  }
  return hex;
}

}  // namespace qvx::records_db
