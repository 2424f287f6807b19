// The station's HTTP interface: its state, sockets, records and events for any client, a board for
// a browser at / and several stations side by side at /line, and control (stop, cut off, start,
// the next label) for requests that carry the token. It runs on threads of its own, never the
// station's, and asks the station only for snapshots (StationService); the events come from the
// feed the station publishes into. docs/http.md describes every path, field and status.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "station_http/access.h"
#include "station_http/connection.h"
#include "station_http/event_feed.h"
#include "station_http/http_options.h"
#include "station_http/station_service.h"
#include "station_http/tls_context.h"

namespace qvx::station_http {

struct ServerLimits {
  ConnectionLimits connection;
  // Event streams served at once; their threads come on top of `other_requests`, so streams up to
  // this many never keep other requests waiting.
  int event_streams = 64;
  int other_requests = 32;
  // A comment on an idle stream, so that a dead client is found and a proxy keeps it open.
  std::chrono::milliseconds heartbeat{15000};
  // A stream ends after this long and its client resumes it with Last-Event-ID: a stream held by
  // a connection that died without a word frees its thread.
  std::chrono::milliseconds stream_lifetime{600000};
  // What a client is told to wait before it reconnects.
  std::chrono::milliseconds retry{2000};
  size_t records_per_answer = 1000;
  size_t label_bytes = 256;
};

class HttpServer {
 public:
  HttpServer(HttpSettings settings, StationService& station, EventFeed& feed,
             ServerLimits limits = {});
  // Stops it.
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Loads the certificate, binds the listener and serves on threads of its own: why it cannot, in
  // words, or nothing.
  std::optional<std::string> Start();
  // Ends every event stream, closes every connection and waits for the server's threads.
  void Stop();

  int port() const { return port_; }
  // "http://127.0.0.1:8080/"
  std::string Url() const;
  // Whether control is taken here at all: a token, and a listener on loopback or serving HTTPS.
  bool control_open() const;
  // The words for the front end's line about the interface (text::Serving).
  const char* ControlWords() const;
  int event_streams() const { return streams_.load(); }
  // How many event streams it has begun since it started.
  uint64_t event_streams_begun() const { return streams_begun_.load(); }

 private:
  struct Route;
  class Stream;
  using Request = httplib::Request;
  using Response = httplib::Response;

  void SetUpRoutes();
  const Route* FindRoute(const std::string& path) const;
  httplib::Server::HandlerResponse Admit(const Request& request, Response& response);
  void AnswerError(const Request& request, Response& response);

  // GET
  void Page(const Request& request, Response& response);
  void Station(const Request& request, Response& response);
  void Sockets(const Request& request, Response& response);
  void Records(const Request& request, Response& response);
  void Events(const Request& request, Response& response);
  // POST, with the token
  void Stop(const Request& request, Response& response);
  void StartStation(const Request& request, Response& response);
  void Label(const Request& request, Response& response);
  void RecordControl(const Request& request, ControlAction action, std::string label = {});

  Json StationJson();
  // The station and its sockets, as a stream begins with.
  Json Snapshot();

  HttpSettings settings_;
  StationService& station_;
  EventFeed& feed_;
  ServerLimits limits_;
  std::unique_ptr<TlsContext> tls_;
  std::unique_ptr<BoundedServer> server_;
  std::optional<HostCheck> host_check_;
  int port_ = 0;
  std::thread listener_;
  std::atomic<bool> listener_ended_{false};
  std::atomic<bool> stopping_{false};
  std::atomic<int> streams_{0};
  std::atomic<uint64_t> streams_begun_{0};
};

}  // namespace qvx::station_http
