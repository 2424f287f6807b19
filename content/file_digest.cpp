// File digests from the platform: OpenSSL's libcrypto on Linux, the system's CNG (bcrypt) on
// Windows.
#include <array>
#include <fstream>
#include <vector>

#include "content/file_facts.h"

#ifdef _WIN32
#include <windows.h>
// windows.h first
#include <bcrypt.h>
#else
#include <openssl/evp.h>
#endif

namespace qvx::content {
namespace {

std::string Hex(const unsigned char* bytes, size_t size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (size_t i = 0; i < size; ++i) {
    hex += kDigits[bytes[i] >> 4];
    hex += kDigits[bytes[i] & 15];
  }
  return hex;
}

// Feeds the file to `update` in pieces; false when it cannot be read to its end.
template <typename Update>
bool ReadInPieces(const std::string& path, Update&& update) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    return false;
  std::vector<char> piece(1 << 16);
  while (in) {
    in.read(piece.data(), static_cast<std::streamsize>(piece.size()));
    if (in.gcount() > 0 && !update(piece.data(), static_cast<size_t>(in.gcount())))
      return false;
  }
  return in.eof();
}

}  // namespace

#ifdef _WIN32

std::optional<std::string> Sha256OfFile(const std::string& path) {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  std::array<unsigned char, 32> digest{};
  bool done =
      BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) >= 0 &&
      BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) >= 0 &&
      ReadInPieces(path,
                   [&](const char* data, size_t size) {
                     return BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(data)),
                                           static_cast<ULONG>(size), 0) >= 0;
                   }) &&
      BCryptFinishHash(hash, digest.data(), digest.size(), 0) >= 0;
  if (hash != nullptr)
    BCryptDestroyHash(hash);
  if (algorithm != nullptr)
    BCryptCloseAlgorithmProvider(algorithm, 0);
  if (!done)
    return std::nullopt;
  return Hex(digest.data(), digest.size());
}

#else

std::optional<std::string> Sha256OfFile(const std::string& path) {
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int size = 0;
  const bool done = context != nullptr && EVP_DigestInit_ex(context, EVP_sha256(), nullptr) == 1 &&
                    ReadInPieces(path,
                                 [&](const char* data, size_t length) {
                                   return EVP_DigestUpdate(context, data, length) == 1;
                                 }) &&
                    EVP_DigestFinal_ex(context, digest.data(), &size) == 1;
  EVP_MD_CTX_free(context);
  if (!done)
    return std::nullopt;
  return Hex(digest.data(), size);
}

#endif

}  // namespace qvx::content
