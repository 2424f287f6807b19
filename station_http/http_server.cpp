// The server's life, its routes, and the rules every request passes before its handler: the Host,
// the method, ranges, CORS for the read-only API, and the token for control.
#include "station_http/http_server.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <thread>

#include "station_http/board_files.h"
#include "station_http/http_answers.h"
#include "station_http/texts.h"

namespace qvx::station_http {

using httplib::Server;

// What a path is, and what it takes.
struct HttpServer::Route {
  // kShared: read-only, and readable from other sites' pages (a line's board on another
  // station); kApi: read-only, for this station's own pages and for clients that are not pages.
  enum class Kind { kPage, kShared, kApi, kControl };
  std::string path;
  Kind kind;
  void (HttpServer::*handler)(const Request&, Response&);

  const char* methods() const { return kind == Kind::kControl ? "POST" : "GET, HEAD"; }
  bool Takes(const std::string& method) const {
    return kind == Kind::kControl ? method == "POST" : method == "GET" || method == "HEAD";
  }
};

HttpServer::HttpServer(HttpSettings settings, StationService& station, EventFeed& feed,
                       ServerLimits limits)
    : settings_(std::move(settings)), station_(station), feed_(feed), limits_(limits) {
  limits_.connection.threads = limits_.event_streams + limits_.other_requests;
}

HttpServer::~HttpServer() {
  Stop();
}

// A path is found by exact match, never by pattern: no path trick (dot segments, doubled or encoded
// slashes, a NUL) reaches anything but a 404.
const HttpServer::Route* HttpServer::FindRoute(const std::string& path) const {
  using Kind = Route::Kind;
  static const std::vector<Route> routes = {
      {"/", Kind::kPage, &HttpServer::Page},
      {"/line", Kind::kPage, &HttpServer::Page},
      {kBoardTextsPath, Kind::kPage, &HttpServer::Page},
      {"/api/v1/station", Kind::kShared, &HttpServer::Station},
      {"/api/v1/sockets", Kind::kShared, &HttpServer::Sockets},
      {"/api/v1/events", Kind::kShared, &HttpServer::Events},
      // The records name units, operators and work orders: not for any page a browser visits.
      {"/api/v1/records", Kind::kApi, &HttpServer::Records},
      {"/api/v1/stop", Kind::kControl, &HttpServer::Stop},
      {"/api/v1/start", Kind::kControl, &HttpServer::StartStation},
      {"/api/v1/label", Kind::kControl, &HttpServer::Label},
  };
  for (const Route& route : routes) {
    if (route.path == path)
      return &route;
  }
  static const Route board_file{"", Kind::kPage, &HttpServer::Page};
  if (BoardFileAt(path) != nullptr)
    return &board_file;
  return nullptr;
}

void HttpServer::SetUpRoutes() {
  server_->set_default_headers({
      {"Cache-Control", "no-store"},
      {"X-Content-Type-Options", "nosniff"},
      {"Referrer-Policy", "no-referrer"},
      {"X-Frame-Options", "DENY"},
  });
  server_->set_pre_routing_handler(
      [this](const Request& request, Response& response) { return Admit(request, response); });
  server_->set_error_handler(
      Server::HandlerWithResponse([this](const Request& request, Response& response) {
        AnswerError(request, response);
        return Server::HandlerResponse::Handled;
      }));
  // A body too large is refused before the client sends it, not after a 100 Continue.
  server_->set_expect_100_continue_handler([this](const Request& request, Response& response) {
    if (request.get_header_value<uint64_t>("Content-Length") <= limits_.connection.body_bytes)
      return 100;
    Refuse(response, 413, text::BodyTooLarge(limits_.connection.body_bytes));
    return 413;
  });
  server_->set_exception_handler([](const Request&, Response& response, std::exception_ptr) {
    Refuse(response, 500, text::kInternal);
  });
  // Every path is admitted by Admit first; these hand it on to its handler.
  const auto dispatch = [this](const Request& request, Response& response) {
    if (const Route* route = FindRoute(request.path))
      (this->*route->handler)(request, response);
  };
  server_->Get(".*", dispatch);
  server_->Post(".*", dispatch);
}

namespace {

// A header name is an HTTP token; a value holds no control character but the tab. The library
// takes either as it comes.
bool WellFormed(const httplib::Headers& headers) {
  const auto token_character = [](unsigned char c) {
    return std::isalnum(c) || (c != '\0' && std::strchr("!#$%&'*+-.^_`|~", c) != nullptr);
  };
  for (const auto& [name, value] : headers) {
    if (name.empty() || !std::all_of(name.begin(), name.end(), token_character))
      return false;
    for (const unsigned char c : value) {
      if ((c < 0x20 && c != '\t') || c == 0x7f)
        return false;
    }
  }
  return true;
}

}  // namespace

Server::HandlerResponse HttpServer::Admit(const Request& request, Response& response) {
  const auto refused = [&](int status, std::string reason) {
    Refuse(response, status, reason);
    return Server::HandlerResponse::Handled;
  };
  // Every answer is whole: a range asked for is left aside (the library would cut even a refusal
  // to it). The request is the library's own, not const, for the handlers to read.
  const_cast<Request&>(request).ranges.clear();
  if (!WellFormed(request.headers))
    return refused(400, text::kMalformed);
  if (request.get_header_value_count("Host") > 1)
    return refused(400, text::kMalformed);
  if (!request.has_header("Host"))
    return refused(400, text::kNoHost);
  if (!host_check_->Allows(request.get_header_value("Host"), request.local_addr))
    return refused(421, text::kWrongHost);
  const Route* route = FindRoute(request.path);
  if (route == nullptr)
    return refused(404, text::kNotFound);
  const bool shared = route->kind == Route::Kind::kShared;
  // What a line's board reads may be read from pages of other stations; nothing else may.
  if (shared)
    response.set_header("Access-Control-Allow-Origin", "*");
  if (request.method == "OPTIONS") {
    response.status = 204;
    response.set_header("Allow", std::string(route->methods()) + ", OPTIONS");
    if (shared) {
      response.set_header("Access-Control-Allow-Methods", "GET, HEAD");
      response.set_header("Access-Control-Allow-Headers", "Last-Event-ID");
      response.set_header("Access-Control-Max-Age", "600");
    }
    return Server::HandlerResponse::Handled;
  }
  if (!route->Takes(request.method)) {
    response.set_header("Allow", route->methods());
    return refused(405, text::MethodNotAllowed(request.method, route->methods()));
  }
  if (route->kind == Route::Kind::kControl) {
    switch (
        CheckControl(settings_.token, control_open(), request.get_header_value("Authorization"))) {
      case ControlVerdict::kAllowed:
        break;
      case ControlVerdict::kOff:
        return refused(403, text::kControlOff);
      case ControlVerdict::kNeedsTls:
        return refused(403, text::kControlNeedsTls);
      case ControlVerdict::kNoToken:
        response.set_header("WWW-Authenticate", "Bearer");
        return refused(401, text::kTokenMissing);
      case ControlVerdict::kWrongToken:
        return refused(403, text::kTokenWrong);
    }
  }
  // A request with neither a length nor chunks has no body; the library would read one up to
  // the end of the connection, which a client waiting for its answer never sends.
  if (request.method == "POST" && !request.has_header("Content-Length") &&
      !request.has_header("Transfer-Encoding")) {
    (this->*route->handler)(request, response);
    return Server::HandlerResponse::Handled;
  }
  return Server::HandlerResponse::Unhandled;
}

void HttpServer::AnswerError(const Request&, Response& response) {
  // A request the library could not read whole: say why, if the connection's bounds were why.
  if (response.status == 400 || response.status == 413 || response.status == 414) {
    CloseAfterThisAnswer();
    response.set_header("Connection", "close");
  }
  if (response.status == 400) {
    switch (CurrentReadFault()) {
      case ReadFault::kTooLarge:
        response.status = 431;
        break;
      case ReadFault::kTooSlow:
        response.status = 408;
        break;
      case ReadFault::kNone:
        break;
    }
  }
  if (!response.body.empty())
    return;
  std::string reason = text::kMalformed;
  switch (response.status) {
    case 404:
      reason = text::kNotFound;
      break;
    case 408:
      reason = text::kTooSlow;
      break;
    case 413:
      reason = text::BodyTooLarge(limits_.connection.body_bytes);
      break;
    case 414:
    case 431:
      reason = text::kHeadTooLarge;
      break;
    case 416:
      reason = text::kNoRanges;
      break;
    case 500:
      reason = text::kInternal;
      break;
  }
  Refuse(response, response.status, reason);
}

bool HttpServer::control_open() const {
  return settings_.token && (settings_.tls() || settings_.listen.loopback());
}

const char* HttpServer::ControlWords() const {
  if (!settings_.token)
    return text::kReadOnlyNoToken;
  return control_open() ? text::kControlWithToken : text::kReadOnlyNoTls;
}

std::string HttpServer::Url() const {
  return std::string(settings_.tls() ? "https://" : "http://") + settings_.listen.HostPort(port_) +
         "/";
}

std::optional<std::string> HttpServer::Start() {
  if (settings_.tls()) {
    TlsContext::Loaded loaded = TlsContext::Load(settings_.cert_file, settings_.key_file);
    if (!loaded.context)
      return loaded.error;
    tls_ = std::move(loaded.context);
  }
  server_ = std::make_unique<BoundedServer>(limits_.connection, tls_.get());
  SetUpRoutes();
  const ListenAddress& listen = settings_.listen;
  server_->set_address_family(listen.v6 ? AF_INET6 : AF_INET);
  errno = 0;
  const int bound = listen.port == 0 ? server_->bind_to_any_port(listen.address)
                    : server_->bind_to_port(listen.address, listen.port) ? listen.port
                                                                         : -1;
  if (bound < 0) {
    const std::string why = errno != 0 ? std::strerror(errno) : "the address cannot be bound";
    server_.reset();
    return text::ListenFailed(listen.HostPort(listen.port), why);
  }
  port_ = bound;
  host_check_.emplace(listen, port_, settings_.tls(), settings_.hosts);
  stopping_ = false;
  listener_ended_ = false;
  listener_ = std::thread([this] {
    server_->listen_after_bind();
    listener_ended_ = true;
  });
  // Server::stop() does nothing until the listener runs: wait for it, so that Stop always stops.
  while (!server_->is_running() && !listener_ended_)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return std::nullopt;
}

void HttpServer::Stop() {
  if (!listener_.joinable())
    return;
  stopping_ = true;
  feed_.Wake();
  // The streams end cleanly first, so that their clients resume them later rather than report a
  // broken connection; then whatever still waits is woken.
  for (int i = 0; i < 100 && streams_.load() > 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  server_->Interrupt();
  server_->stop();
  listener_.join();
  server_.reset();
}

}  // namespace qvx::station_http
