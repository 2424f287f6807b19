// Taking the HTTP options and checking them together.
#include "station_http/http_options.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "station_http/texts.h"
#include "station_http/token_file.h"

namespace qvx::station_http {

namespace {

bool HostCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_';
}

}  // namespace

bool IsHostName(std::string_view name) {
  std::string_view host = name;
  std::optional<std::string_view> port;
  if (name.starts_with("[")) {
    const size_t close = name.find(']');
    if (close == std::string_view::npos)
      return false;
    host = name.substr(1, close - 1);
    const std::string_view rest = name.substr(close + 1);
    if (!rest.empty() && !rest.starts_with(":"))
      return false;
    if (!rest.empty())
      port = rest.substr(1);
    if (CanonicalAddress(host).find(':') == std::string::npos)
      return false;
  } else {
    if (const size_t colon = name.find(':'); colon != std::string_view::npos) {
      host = name.substr(0, colon);
      port = name.substr(colon + 1);
    }
    if (host.empty() || host.size() > 253 || !std::all_of(host.begin(), host.end(), HostCharacter))
      return false;
  }
  if (!port)
    return true;
  const bool digits =
      !port->empty() && port->size() <= 5 && std::all_of(port->begin(), port->end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c));
      });
  return digits && std::stoi(std::string(*port)) <= 65535;
}

bool HttpOptions::Names(std::string_view option) {
  return option == kHttpOption || option == kTokenOption || option == kCertOption ||
         option == kKeyOption || option == kHostOption;
}

std::optional<std::string> HttpOptions::Take(std::string_view option, const char* value) {
  const auto what = [&] {
    if (option == kHttpOption)
      return text::kListenWhat;
    return option == kHostOption ? text::kNameWhat : text::kFileWhat;
  };
  if (value == nullptr || *value == '\0')
    return text::Missing(option, what());
  const auto once = [&](std::optional<std::string>& slot) -> std::optional<std::string> {
    if (slot)
      return text::Twice(option);
    slot = value;
    return std::nullopt;
  };
  if (option == kHttpOption) {
    if (listen_)
      return text::Twice(option);
    const ListenParse parse = ParseListenAddress(value);
    if (!parse.address)
      return parse.error;
    listen_ = value;
    return std::nullopt;
  }
  if (option == kTokenOption)
    return once(token_file_);
  if (option == kCertOption)
    return once(cert_file_);
  if (option == kKeyOption)
    return once(key_file_);
  if (!IsHostName(value))
    return text::NotAHostName(value);
  hosts_.push_back(value);
  return std::nullopt;
}

SettingsRead HttpOptions::Settings() const {
  const auto refused = [](std::string error) {
    return SettingsRead{std::nullopt, std::move(error)};
  };
  if (!listen_) {
    for (const auto& [given, option] :
         {std::pair{token_file_.has_value(), kTokenOption},
          std::pair{cert_file_.has_value(), kCertOption},
          std::pair{key_file_.has_value(), kKeyOption}, std::pair{!hosts_.empty(), kHostOption}}) {
      if (given)
        return refused(text::GoesWithHttp(option));
    }
    return {};
  }
  if (cert_file_.has_value() != key_file_.has_value())
    return refused(text::kCertNeedsKey);
  HttpSettings settings;
  settings.listen = *ParseListenAddress(*listen_).address;
  settings.hosts = hosts_;
  if (token_file_) {
    TokenRead read = ReadTokenFile(*token_file_);
    if (!read.token)
      return refused(read.error);
    settings.token = std::move(read.token);
  }
  if (key_file_) {
    struct stat facts {};
    if (stat(key_file_->c_str(), &facts) == 0 && (facts.st_mode & 007) != 0)
      return refused(text::KeyNotPrivate(*key_file_, facts.st_mode));
    settings.cert_file = *cert_file_;
    settings.key_file = *key_file_;
  }
  return {std::move(settings), {}};
}

}  // namespace qvx::station_http
