// The Host rule and the token rule.
#include "station_http/access.h"

#include <openssl/crypto.h>
#include <openssl/sha.h>

#include <algorithm>
#include <array>
#include <cctype>

namespace qvx::station_http {

namespace {

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

struct HostParts {
  std::string host;  // lower case, without brackets
  std::optional<std::string> port;
};

std::optional<HostParts> Split(std::string_view header) {
  HostParts parts;
  std::string_view rest;
  if (header.starts_with("[")) {
    const size_t close = header.find(']');
    if (close == std::string_view::npos)
      return std::nullopt;
    parts.host = Lower(header.substr(1, close - 1));
    rest = header.substr(close + 1);
  } else {
    const size_t colon = header.find(':');
    parts.host = Lower(header.substr(0, colon));
    rest = colon == std::string_view::npos ? std::string_view() : header.substr(colon);
  }
  if (!rest.empty()) {
    if (!rest.starts_with(":") || rest.size() == 1)
      return std::nullopt;
    parts.port = std::string(rest.substr(1));
  }
  if (parts.host.empty())
    return std::nullopt;
  return parts;
}

bool SameAddress(std::string_view host, std::string_view address) {
  const std::string canonical = CanonicalAddress(host);
  return !canonical.empty() && canonical == CanonicalAddress(address);
}

std::array<unsigned char, SHA256_DIGEST_LENGTH> Digest(std::string_view text) {
  std::array<unsigned char, SHA256_DIGEST_LENGTH> digest{};
  SHA256(reinterpret_cast<const unsigned char*>(text.data()), text.size(), digest.data());
  return digest;
}

}  // namespace

HostCheck::HostCheck(ListenAddress listen, int port, bool tls, std::vector<std::string> names)
    : listen_(std::move(listen)), port_(port), tls_(tls) {
  for (const std::string& name : names) {
    if (std::optional<HostParts> parts = Split(name))
      names_.push_back({std::move(parts->host), std::move(parts->port)});
  }
}

bool HostCheck::PortMatches(const std::optional<std::string>& port) const {
  if (!port)
    return port_ == (tls_ ? 443 : 80);
  return *port == std::to_string(port_);
}

bool HostCheck::Allows(std::string_view header, std::string_view local_address) const {
  const std::optional<HostParts> parts = Split(header);
  if (!parts)
    return false;
  for (const Name& name : names_) {
    // A name given with its port is taken whatever port the listener has: a proxy in front of it.
    if (name.host == parts->host &&
        (name.port ? name.port == parts->port : PortMatches(parts->port)))
      return true;
  }
  if (!PortMatches(parts->port))
    return false;
  if (SameAddress(parts->host, listen_.address))
    return true;
  if (listen_.wildcard() && SameAddress(parts->host, local_address))
    return true;
  return parts->host == "localhost" && IsLoopback(local_address);
}

bool SameToken(std::string_view given, std::string_view expected) {
  // Digests first: equal lengths whatever was sent, so the comparison's time says nothing.
  const auto a = Digest(given);
  const auto b = Digest(expected);
  return CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

ControlVerdict CheckControl(const std::optional<std::string>& token, bool control_open,
                            std::string_view authorization) {
  if (!token)
    return ControlVerdict::kOff;
  if (!control_open)
    return ControlVerdict::kNeedsTls;
  constexpr std::string_view kScheme = "bearer ";
  if (authorization.size() <= kScheme.size() ||
      Lower(authorization.substr(0, kScheme.size())) != kScheme)
    return ControlVerdict::kNoToken;
  std::string_view given = authorization.substr(kScheme.size());
  while (given.starts_with(' '))
    given.remove_prefix(1);
  while (given.ends_with(' '))
    given.remove_suffix(1);
  return SameToken(given, *token) ? ControlVerdict::kAllowed : ControlVerdict::kWrongToken;
}

}  // namespace qvx::station_http
