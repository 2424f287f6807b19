// The server's connections: cpp-httplib parses and answers each request, over a stream of the
// interface's own that holds every client to bounds the library's Debian version cannot set by
// itself: a request's line, headers and body must arrive whole within a time and a number of
// bytes (a client that trickles or floods headers is cut off, not waited on), an idle connection
// is closed, a write that makes no progress drops its client, and a stop wakes every connection at
// once. HTTPS is the same stream over OpenSSL. Connections beyond what the thread pool and its
// queue hold are answered 503 at once, so no flood of connections can use up the station's file
// descriptors.
#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>

#include "station_http/tls_context.h"

namespace qvx::station_http {

struct ConnectionLimits {
  // A request's line, headers and body, from its first byte to its last.
  std::chrono::milliseconds request_time{10000};
  size_t head_bytes = 16 * 1024;
  size_t body_bytes = 4096;
  // Between one request and the next on a kept-alive connection.
  std::chrono::milliseconds idle_time{5000};
  // A read or write that makes no progress for this long fails.
  std::chrono::milliseconds io_time{5000};
  int requests_per_connection = 100;
  // Threads serving connections, and connections that may wait for one.
  int threads = 96;
  int queued = 64;
};

// Why the request being answered on this thread could not be read whole, for its answer.
enum class ReadFault { kNone, kTooLarge, kTooSlow };
ReadFault CurrentReadFault();
// The connection of the request being answered on this thread ends after its answer: what
// follows a request that could not be read is not to be trusted as the next one.
void CloseAfterThisAnswer();

class BoundedServer : public httplib::Server {
 public:
  // `tls`: serve HTTPS with it, or plain HTTP when null; it must outlive the server.
  BoundedServer(ConnectionLimits limits, const TlsContext* tls);
  ~BoundedServer() override;

  // Wakes every connection waiting to read or write, for good: the server is stopping.
  void Interrupt();
  bool interrupted() const { return interrupted_.load(); }

  const ConnectionLimits& limits() const { return limits_; }

 private:
  class Pool;

  bool process_and_close_socket(socket_t sock) override;
  void Refuse(socket_t sock);
  void CloseGently(socket_t sock) const;

  ConnectionLimits limits_;
  const TlsContext* tls_;
  int wake_fd_;  // an eventfd, readable once interrupted
  std::atomic<bool> interrupted_{false};
};

}  // namespace qvx::station_http
