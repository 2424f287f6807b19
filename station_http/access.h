// Who may ask the interface what. Every request must be addressed (its Host header) to the
// listener's own address, to the address it arrived at when the listener takes every address, to
// localhost over loopback, or to a name given with --http-host: a page on some other site whose
// name was pointed at this machine (DNS rebinding) is refused. Control takes the station's token,
// compared in constant time, and is off entirely without one, and on a listener that is neither on
// loopback nor serving HTTPS.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "station_http/listen_address.h"

namespace qvx::station_http {

class HostCheck {
 public:
  // `port`: the port the listener was bound to.
  HostCheck(ListenAddress listen, int port, bool tls, std::vector<std::string> names);

  // Whether a request with this Host header, arriving at `local_address` (the connection's own
  // address, numeric), is addressed to this station.
  bool Allows(std::string_view host, std::string_view local_address) const;

 private:
  bool PortMatches(const std::optional<std::string>& port) const;

  ListenAddress listen_;
  int port_;
  bool tls_;
  struct Name {
    std::string host;  // lower case, without brackets
    std::optional<std::string> port;
  };
  std::vector<Name> names_;
};

enum class ControlVerdict {
  kAllowed,
  kOff,         // no token was configured
  kNeedsTls,    // the listener is not on loopback and serves plain HTTP
  kNoToken,     // no "Authorization: Bearer ..." (401)
  kWrongToken,  // another token (403)
};

// `control_open`: the listener may take control at all (on loopback, or over HTTPS).
ControlVerdict CheckControl(const std::optional<std::string>& token, bool control_open,
                            std::string_view authorization);

// Equal tokens, in a time that tells nothing about where two tokens differ, or their lengths.
bool SameToken(std::string_view given, std::string_view expected);

}  // namespace qvx::station_http
