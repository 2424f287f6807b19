// qvx5120-usb-unit: one generator unit for a QEMU guest, listening on a Unix socket that QEMU's
// chardev connects to. By default it is an FT245R-type bridge behind `-device usb-redir` (see
// redir_device.h); with --stream it is the far end of QEMU's own `-device usb-serial`, which
// carries only the data bytes. It serves one connection and ends when the guest's side closes,
// or drops the stream itself when the unplug limit is reached, as a pulled cable would.
//
//   qvx5120-usb-unit --listen PATH --serial SERIAL [--product-id HEX] [--flash FILE] [--log FILE]
//                    [--mute] [--unplug-after BYTES] [--erase-ms MS] [--stream]
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "emulator/text.h"
#include "tests/usb-redir/redir_device.h"

namespace {

using Clock = std::chrono::steady_clock;
using qvx::vg::Format;

struct Options {
  std::string listen;
  qvx::ft245r::Identity identity;
  std::string flash;
  std::string log;
  bool mute = false;
  long long unplug_after = -1;
  int erase_ms = 0;
  bool stream = false;
};

volatile std::sig_atomic_t stopping = 0;

[[noreturn]] void Usage(const std::string& why) {
  std::fprintf(stderr,
               "qvx5120-usb-unit: %s\nusage: qvx5120-usb-unit --listen PATH --serial SERIAL "
               "[--product-id HEX] [--flash FILE] [--log FILE] [--mute] [--unplug-after BYTES] "
               "[--erase-ms MS] [--stream]\n",
               why.c_str());
  std::exit(2);
}

Options Parse(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc)
        Usage(std::string(arg) + " needs a value");
      return argv[++i];
    };
    if (arg == "--listen")
      options.listen = value();
    else if (arg == "--serial")
      options.identity.serial = value();
    else if (arg == "--product-id")
      options.identity.product_id = static_cast<uint16_t>(std::stoul(value(), nullptr, 16));
    else if (arg == "--flash")
      options.flash = value();
    else if (arg == "--log")
      options.log = value();
    else if (arg == "--mute")
      options.mute = true;
    else if (arg == "--unplug-after")
      options.unplug_after = std::stoll(value());
    else if (arg == "--erase-ms")
      options.erase_ms = std::stoi(value());
    else if (arg == "--stream")
      options.stream = true;
    else
      Usage("unknown option " + std::string(arg));
  }
  if (options.listen.empty() || options.identity.serial.empty())
    Usage("--listen and --serial are needed");
  return options;
}

// The connection QEMU makes to the socket at `path`, non-blocking; -1 when stopped first.
int AcceptOne(const std::string& path) {
  const int server = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof(address.sun_path))
    Usage("socket path too long: " + path);
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  unlink(path.c_str());
  if (server < 0 || bind(server, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      listen(server, 1) != 0) {
    std::perror(("qvx5120-usb-unit: " + path).c_str());
    std::exit(1);
  }
  int fd = -1;
  while (fd < 0 && !stopping)
    fd = accept(server, nullptr, nullptr);
  close(server);
  unlink(path.c_str());
  if (fd >= 0)
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  return fd;
}

class Log {
 public:
  // Line-buffered: scripts/test-guest follows a unit's log while it runs.
  explicit Log(const std::string& path)
      : file_(path.empty() ? nullptr : std::fopen(path.c_str(), "w")) {
    if (file_ != nullptr)
      std::setvbuf(file_, nullptr, _IOLBF, 0);
  }
  ~Log() {
    if (file_ != nullptr)
      std::fclose(file_);
  }
  void operator()(const std::string& line) {
    if (file_ == nullptr)
      return;
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - started_).count();
    std::fprintf(file_, "%.3f %s\n", ms, line.c_str());
  }

 private:
  std::FILE* file_;
  Clock::time_point started_ = Clock::now();
};

int Milliseconds(std::optional<Clock::time_point> due) {
  if (!due)
    return 1000;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(*due - Clock::now()).count();
  return static_cast<int>(std::clamp<long long>(left, 0, 1000));
}

// QEMU's usb-serial: data bytes only, both ways. Answers go back as soon as the generator has
// them.
void ServeStream(int fd, qvx::vg::Generator& generator, Log& log) {
  std::vector<uint8_t> buffer(65536);
  uint64_t wire = 0;
  while (!stopping) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, Milliseconds(generator.NextArrival())) < 0)
      continue;
    const ssize_t got = (p.revents & (POLLIN | POLLHUP)) != 0 ? read(fd, buffer.data(), 65536) : 0;
    if ((p.revents & (POLLIN | POLLHUP)) != 0 && got <= 0)
      return;
    if (got > 0) {
      generator.Accept(std::span(buffer.data(), static_cast<size_t>(got)), wire);
      wire += static_cast<uint64_t>(got);
      log(Format("out %zd", got));
    }
    const auto answers = generator.TakeAnswers(generator.QueuedAnswers());
    if (!answers.empty() && write(fd, answers.data(), answers.size()) > 0)
      log(Format("in %zu", answers.size()));
  }
}

void ServeRedir(int fd, qvx::usbredir::RedirDevice& device) {
  while (!stopping) {
    pollfd p{fd, static_cast<short>(POLLIN | (device.WantsWrite() ? POLLOUT : 0)), 0};
    if (poll(&p, 1, Milliseconds(device.NextDue())) < 0)
      continue;
    if ((p.revents & (POLLIN | POLLHUP | POLLERR)) != 0 && !device.Read())
      return;
    if (device.gone())
      return;  // pulled: the stream is dropped without another word
    if (!device.Poll())
      return;
  }
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = Parse(argc, argv);
  std::signal(SIGTERM, [](int) { stopping = 1; });
  std::signal(SIGINT, [](int) { stopping = 1; });
  std::signal(SIGPIPE, SIG_IGN);
  Log log(options.log);
  const int fd = AcceptOne(options.listen);
  if (fd < 0)
    return 0;
  const qvx::vg::StatusBehaviour status{.mute = options.mute, .erase_ms = options.erase_ms};
  const std::optional<std::string> flash =
      options.flash.empty() ? std::nullopt : std::optional(options.flash);
  if (options.stream) {
    qvx::vg::Generator generator;
    generator.SetStatusBehaviour(status);
    generator.flash().Attach(flash);
    ServeStream(fd, generator, log);
  } else {
    qvx::usbredir::RedirDevice device(fd, options.identity, std::ref(log));
    device.chip().generator().SetStatusBehaviour(status);
    device.chip().generator().flash().Attach(flash);
    device.chip().SetUnplugAfter(options.unplug_after);
    ServeRedir(fd, device);
    log(Format("end: %zu bytes taken%s", device.chip().wire().size(),
               device.gone() ? ", stream dropped" : ""));
  }
  close(fd);
  return 0;
}
