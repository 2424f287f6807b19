// Reading --http's value, and the facts of numeric addresses.
#include "station_http/listen_address.h"

#include <arpa/inet.h>

#include <charconv>
#include <cstring>

#include "station_http/texts.h"

namespace qvx::station_http {

namespace {

std::optional<int> PortOf(std::string_view text) {
  int port = -1;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || port < 0 ||
      port > 65535)
    return std::nullopt;
  return port;
}

}  // namespace

std::string CanonicalAddress(std::string_view numeric) {
  const std::string text(numeric);
  in_addr v4{};
  if (inet_pton(AF_INET, text.c_str(), &v4) == 1) {
    char out[INET_ADDRSTRLEN];
    return inet_ntop(AF_INET, &v4, out, sizeof out);
  }
  in6_addr v6{};
  if (inet_pton(AF_INET6, text.c_str(), &v6) != 1)
    return {};
  if (IN6_IS_ADDR_V4MAPPED(&v6)) {
    std::memcpy(&v4, &v6.s6_addr[12], sizeof v4);
    char out[INET_ADDRSTRLEN];
    return inet_ntop(AF_INET, &v4, out, sizeof out);
  }
  char out[INET6_ADDRSTRLEN];
  return inet_ntop(AF_INET6, &v6, out, sizeof out);
}

bool IsLoopback(std::string_view numeric) {
  const std::string address = CanonicalAddress(numeric);
  return address == "::1" || address.starts_with("127.");
}

bool ListenAddress::loopback() const {
  return IsLoopback(address);
}

bool ListenAddress::wildcard() const {
  return address == "0.0.0.0" || address == "::";
}

std::string ListenAddress::HostPort(int bound_port) const {
  const std::string port_text = std::to_string(bound_port);
  return v6 ? "[" + address + "]:" + port_text : address + ":" + port_text;
}

ListenParse ParseListenAddress(std::string_view typed) {
  const auto refused = [&](const char* why) {
    return ListenParse{std::nullopt, text::NotAListenAddress(typed, why)};
  };
  std::string_view host;
  std::string_view port_text = typed;
  if (typed.starts_with("[")) {
    const size_t close = typed.find(']');
    if (close == std::string_view::npos || typed.substr(close + 1, 1) != ":")
      return refused(text::kBadAddress);
    host = typed.substr(1, close - 1);
    port_text = typed.substr(close + 2);
  } else if (const size_t colon = typed.rfind(':'); colon != std::string_view::npos) {
    host = typed.substr(0, colon);
    port_text = typed.substr(colon + 1);
    if (host.find(':') != std::string_view::npos)
      return refused(text::kBracketsForV6);
  }
  const std::optional<int> port = PortOf(port_text);
  if (!port)
    return refused(text::kPortRange);
  ListenAddress address;
  address.port = *port;
  if (host.empty() && typed.find(':') == std::string_view::npos)
    return {address, {}};
  if (host == "localhost")
    host = "127.0.0.1";
  const bool bracketed = typed.starts_with("[");
  address.address = CanonicalAddress(host);
  address.v6 = address.address.find(':') != std::string::npos;
  // A mapped IPv4 address in brackets would be bound as IPv4: say it the plain way instead.
  if (address.address.empty() || bracketed != address.v6)
    return refused(text::kBadAddress);
  return {address, {}};
}

}  // namespace qvx::station_http
