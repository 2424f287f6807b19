// The bounded stream, the connection loop and the pool that refuses what it cannot hold.
#include "station_http/connection.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "station_http/json_views.h"
#include "station_http/texts.h"

namespace qvx::station_http {

namespace {

using Clock = std::chrono::steady_clock;

thread_local ReadFault read_fault = ReadFault::kNone;
thread_local bool close_after = false;
// How long, and how much, a closing connection's last bytes are read and dropped.
constexpr std::chrono::milliseconds kLinger{250};
constexpr size_t kLingerBytes = 256 * 1024;
// Set while the pool runs a connection it has no room for on the accepting thread.
thread_local bool refusing = false;

int Milliseconds(Clock::duration duration) {
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(duration).count();
  return static_cast<int>(std::clamp<decltype(ms)>(ms, 0, 1 << 30));
}

enum class Ready { kYes, kTimedOut, kWoken, kClosed };

// Waits for `events` on `fd`, or the wake descriptor, for at most `wait`.
Ready Await(int fd, short events, int wake_fd, Clock::duration wait) {
  pollfd fds[2] = {{fd, events, 0}, {wake_fd, POLLIN, 0}};
  for (;;) {
    const int n = poll(fds, 2, Milliseconds(wait));
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      return Ready::kClosed;
    if (n == 0)
      return Ready::kTimedOut;
    if (fds[1].revents != 0)
      return Ready::kWoken;
    if ((fds[0].revents & events) != 0)
      return Ready::kYes;
    return Ready::kClosed;  // POLLERR, POLLHUP or POLLNVAL alone
  }
}

void AddressOf(int fd, bool peer, std::string& ip, int& port) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  const int got = peer ? getpeername(fd, reinterpret_cast<sockaddr*>(&address), &length)
                       : getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  char host[NI_MAXHOST];
  char service[NI_MAXSERV];
  if (got != 0 || getnameinfo(reinterpret_cast<sockaddr*>(&address), length, host, sizeof host,
                              service, sizeof service, NI_NUMERICHOST | NI_NUMERICSERV) != 0) {
    ip.clear();
    port = -1;
    return;
  }
  ip = host;
  port = std::atoi(service);
}

// One client's connection: its socket, its TLS session if any, and the bounds of the request
// being read.
class Connection final : public httplib::Stream {
 public:
  Connection(int fd, SSL* ssl, const ConnectionLimits& limits, int wake_fd)
      : fd_(fd), ssl_(ssl), limits_(limits), wake_fd_(wake_fd) {}

  // The TLS handshake, within the time a request has.
  bool Handshake() {
    if (ssl_ == nullptr)
      return true;
    const auto deadline = Clock::now() + limits_.request_time;
    const int flags = fcntl(fd_, F_GETFL);
    fcntl(fd_, F_SETFL, flags | O_NONBLOCK);
    bool done = false;
    for (;;) {
      const int result = SSL_accept(ssl_);
      if (result == 1) {
        done = true;
        break;
      }
      const int error = SSL_get_error(ssl_, result);
      const short events = error == SSL_ERROR_WANT_READ    ? POLLIN
                           : error == SSL_ERROR_WANT_WRITE ? POLLOUT
                                                           : 0;
      if (events == 0 || Await(fd_, events, wake_fd_, deadline - Clock::now()) != Ready::kYes)
        break;
    }
    fcntl(fd_, F_SETFL, flags);
    return done;
  }

  // Waits for the next request's first byte.
  bool AwaitRequest(std::chrono::milliseconds wait) {
    if (buffered() > 0)
      return true;
    return Await(fd_, POLLIN, wake_fd_, wait) == Ready::kYes;
  }

  void BeginRequest() {
    deadline_ = Clock::now() + limits_.request_time;
    budget_ = limits_.head_bytes + limits_.body_bytes;
    read_fault = ReadFault::kNone;
    close_after = false;
  }

  bool is_readable() const override { return buffered() > 0; }

  bool is_writable() const override {
    if (Await(fd_, POLLOUT, wake_fd_, limits_.io_time) != Ready::kYes)
      return false;
    // A peer that has closed its end reads as end of file.
    char byte;
    const ssize_t peeked = recv(fd_, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return peeked > 0 || (peeked < 0 && (errno == EAGAIN || errno == EWOULDBLOCK));
  }

  ssize_t read(char* ptr, size_t size) override {
    if (budget_ == 0) {
      read_fault = ReadFault::kTooLarge;
      return -1;
    }
    if (start_ == end_ && !Fill())
      return -1;
    const size_t n = std::min({size, end_ - start_, budget_});
    std::memcpy(ptr, buffer_ + start_, n);
    start_ += n;
    budget_ -= n;
    return static_cast<ssize_t>(n);
  }

  ssize_t write(const char* ptr, size_t size) override {
    if (ssl_ != nullptr) {
      // Blocking, bounded by the socket's send time-out, which the library sets at accept.
      const int n = SSL_write(ssl_, ptr, static_cast<int>(std::min<size_t>(size, 1 << 20)));
      return n > 0 ? n : -1;
    }
    for (;;) {
      if (Await(fd_, POLLOUT, wake_fd_, limits_.io_time) != Ready::kYes)
        return -1;
      const ssize_t n = send(fd_, ptr, size, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        continue;
      return n;
    }
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    AddressOf(fd_, true, ip, port);
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    AddressOf(fd_, false, ip, port);
  }
  socket_t socket() const override { return fd_; }

 private:
  size_t buffered() const {
    return end_ - start_ + (ssl_ != nullptr ? static_cast<size_t>(SSL_pending(ssl_)) : 0);
  }

  // Reads what has arrived into the buffer, waiting no longer than the request's time allows.
  bool Fill() {
    start_ = end_ = 0;
    const bool pending = ssl_ != nullptr && SSL_pending(ssl_) > 0;
    if (!pending) {
      const auto left = deadline_ - Clock::now();
      const Ready ready =
          Await(fd_, POLLIN, wake_fd_, std::min<Clock::duration>(left, limits_.io_time));
      if (ready == Ready::kTimedOut)
        read_fault = ReadFault::kTooSlow;
      if (ready != Ready::kYes)
        return false;
    }
    ssize_t n = 0;
    if (ssl_ != nullptr) {
      n = SSL_read(ssl_, buffer_, sizeof buffer_);
    } else {
      do
        n = recv(fd_, buffer_, sizeof buffer_, MSG_DONTWAIT);
      while (n < 0 && errno == EINTR);
    }
    if (n <= 0)
      return false;
    end_ = static_cast<size_t>(n);
    return true;
  }

  int fd_;
  SSL* ssl_;
  const ConnectionLimits& limits_;
  int wake_fd_;
  Clock::time_point deadline_;
  size_t budget_ = 0;
  char buffer_[4096];
  size_t start_ = 0;
  size_t end_ = 0;
};

}  // namespace

ReadFault CurrentReadFault() {
  return read_fault;
}

void CloseAfterThisAnswer() {
  close_after = true;
}

// The library's thread pool, with a bound on the connections it holds: one beyond it is run on
// the accepting thread, which answers it 503 and closes it at once.
class BoundedServer::Pool final : public httplib::TaskQueue {
 public:
  Pool(int threads, int most) : pool_(static_cast<size_t>(threads)), most_(most) {}

  void enqueue(std::function<void()> task) override {
    if (held_.load() >= most_) {
      refusing = true;
      task();
      refusing = false;
      return;
    }
    ++held_;
    pool_.enqueue([this, task = std::move(task)] {
      task();
      --held_;
    });
  }
  void shutdown() override { pool_.shutdown(); }

 private:
  httplib::ThreadPool pool_;
  int most_;
  std::atomic<int> held_{0};
};

BoundedServer::BoundedServer(ConnectionLimits limits, const TlsContext* tls)
    : limits_(limits), tls_(tls), wake_fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  new_task_queue = [this] { return new Pool(limits_.threads, limits_.threads + limits_.queued); };
  set_payload_max_length(limits_.body_bytes);
  set_read_timeout(std::chrono::duration_cast<std::chrono::seconds>(limits_.io_time).count());
  set_write_timeout(std::chrono::duration_cast<std::chrono::seconds>(limits_.io_time).count());
  set_keep_alive_max_count(static_cast<size_t>(limits_.requests_per_connection));
  set_keep_alive_timeout(
      std::chrono::duration_cast<std::chrono::seconds>(limits_.idle_time).count());
  // The library's own choice, SO_REUSEPORT, would let a second station bind the same port and
  // take half of this one's clients.
  set_socket_options([](socket_t sock) {
    const int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
}

BoundedServer::~BoundedServer() {
  if (wake_fd_ >= 0)
    close(wake_fd_);
}

void BoundedServer::Interrupt() {
  interrupted_ = true;
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(wake_fd_, &one, sizeof one);
}

void BoundedServer::Refuse(socket_t sock) {
  const std::string body = Dump({{"error", text::kBusy}});
  const std::string answer =
      "HTTP/1.1 503 Service Unavailable\r\nContent-Type: application/json\r\nContent-Length: " +
      std::to_string(body.size()) + "\r\nRetry-After: 1\r\nConnection: close\r\n\r\n" + body;
  // Without waiting, on the accepting thread: what the client sent so far is dropped (so that the
  // close does not reset the connection under the answer), and a client that does not take the
  // answer at once loses it.
  char buffer[4096];
  const auto drop = [&] {
    for (int i = 0; i < 16 && recv(sock, buffer, sizeof buffer, MSG_DONTWAIT) > 0; ++i) {
    }
  };
  drop();
  [[maybe_unused]] const ssize_t sent =
      send(sock, answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  shutdown(sock, SHUT_WR);
  drop();
  close(sock);
}

bool BoundedServer::process_and_close_socket(socket_t sock) {
  if (refusing || interrupted_) {
    Refuse(sock);
    return false;
  }
  const int yes = 1;
  setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
  SSL* ssl = nullptr;
  if (tls_ != nullptr) {
    ssl = SSL_new(tls_->get());
    if (ssl != nullptr)
      SSL_set_fd(ssl, sock);
  }
  Connection connection(sock, ssl, limits_, wake_fd_);
  bool handled = false;
  if ((tls_ == nullptr || ssl != nullptr) && connection.Handshake()) {
    handled = true;
    for (int count = 1; count <= limits_.requests_per_connection && !interrupted_; ++count) {
      if (!connection.AwaitRequest(count == 1 ? limits_.request_time : limits_.idle_time))
        break;
      connection.BeginRequest();
      bool closed = false;
      const bool last = count == limits_.requests_per_connection;
      const bool answered = process_request(
          connection, last, closed, [ssl](httplib::Request& request) { request.ssl = ssl; });
      // A request that could not be read whole leaves the connection out of step: end it.
      if (!answered || closed || close_after || read_fault != ReadFault::kNone)
        break;
    }
  }
  if (ssl != nullptr) {
    if (handled)
      SSL_shutdown(ssl);
    SSL_free(ssl);
  }
  CloseGently(sock);
  return handled;
}

void BoundedServer::CloseGently(socket_t sock) const {
  // What the client still sends is read and dropped for a moment after the answer: closing with
  // unread bytes would reset the connection, and the client could lose the answer (a 431 to a
  // flood of headers, say) before reading it.
  shutdown(sock, SHUT_WR);
  const auto until = std::chrono::steady_clock::now() + kLinger;
  size_t dropped = 0;
  while (!interrupted_ && dropped < kLingerBytes &&
         Await(sock, POLLIN, wake_fd_, until - std::chrono::steady_clock::now()) == Ready::kYes) {
    char buffer[4096];
    const ssize_t n = recv(sock, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n <= 0)
      break;
    dropped += static_cast<size_t>(n);
  }
  close(sock);
}

}  // namespace qvx::station_http
