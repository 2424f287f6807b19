// Where the HTTP interface listens, from `--http [ADDRESS:]PORT`: a bare port listens on loopback
// only, so that exposing a station to the network is a deliberate act; an IPv6 address goes in
// brackets. Also the address facts the access rules ask about (loopback, the IPv4 form of a mapped
// IPv6 address).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qvx::station_http {

struct ListenAddress {
  std::string address = "127.0.0.1";  // numeric, in its canonical form ("::1", not "0::1")
  int port = 0;                       // 0: any free port, told once bound
  bool v6 = false;

  bool loopback() const;
  bool wildcard() const;  // every address of the machine: 0.0.0.0 or ::
  // "127.0.0.1:8080", "[::1]:8080"
  std::string HostPort(int bound_port) const;

  bool operator==(const ListenAddress&) const = default;
};

struct ListenParse {
  std::optional<ListenAddress> address;
  std::string error;  // the whole message, when `address` is empty
};

ListenParse ParseListenAddress(std::string_view typed);

// Whether a numeric address (as a socket reports it) is on loopback: 127.0.0.0/8, ::1, or either
// mapped into IPv6.
bool IsLoopback(std::string_view numeric);
// The address as it is compared: an IPv4 address mapped into IPv6 in its IPv4 form, an IPv6
// address canonical and in lower case; empty when it is not a numeric address.
std::string CanonicalAddress(std::string_view numeric);

}  // namespace qvx::station_http
