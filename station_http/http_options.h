// The HTTP interface's command-line options, as both station front ends take them:
// `--http [ADDRESS:]PORT`, `--http-token FILE`, `--http-cert FILE`, `--http-key FILE` and
// `--http-host NAME` (repeatable). A front end hands each of these options to `HttpOptions::Take`
// as it meets it, then asks `Settings()` once the whole line is read: that is where the token file
// is read and checked, and the options checked against each other.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "station_http/listen_address.h"

namespace qvx::station_http {

inline constexpr std::string_view kHttpOption = "--http";
inline constexpr std::string_view kTokenOption = "--http-token";
inline constexpr std::string_view kCertOption = "--http-cert";
inline constexpr std::string_view kKeyOption = "--http-key";
inline constexpr std::string_view kHostOption = "--http-host";

// What the server is started with.
struct HttpSettings {
  ListenAddress listen;
  std::optional<std::string> token;  // no token: no control at all
  std::string cert_file;             // both or neither: HTTPS
  std::string key_file;
  std::vector<std::string>
      hosts;  // further names requests may be addressed to ("name", "name:port")

  bool tls() const { return !cert_file.empty(); }
};

struct SettingsRead {
  std::optional<HttpSettings> settings;  // nothing: no --http (and no error), or an error
  std::string error;
};

class HttpOptions {
 public:
  // Whether `option` is one of the interface's; each takes a value.
  static bool Names(std::string_view option);

  // Takes one option and its value (nullptr when the command line ended before it): what is wrong,
  // or nothing.
  std::optional<std::string> Take(std::string_view option, const char* value);

  // The settings, once the whole command line has been taken.
  SettingsRead Settings() const;

 private:
  std::optional<std::string> listen_;
  std::optional<std::string> token_file_;
  std::optional<std::string> cert_file_;
  std::optional<std::string> key_file_;
  std::vector<std::string> hosts_;
};

// Whether `name` may be given to --http-host: a host name, or an address (an IPv6 one in brackets),
// with an optional ":PORT".
bool IsHostName(std::string_view name);

}  // namespace qvx::station_http
