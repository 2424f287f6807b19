// Reading the token file, with its checks made on the file that was opened.
#include "station_http/token_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "station_http/texts.h"

namespace qvx::station_http {

namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0)
      close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

bool Printable(const std::string& token) {
  for (const char c : token) {
    if (c <= ' ' || c > '~')
      return false;
  }
  return true;
}

}  // namespace

TokenRead ReadTokenFile(const std::string& path) {
  const auto refused = [](std::string error) { return TokenRead{std::nullopt, std::move(error)}; };
  // O_NONBLOCK: a FIFO put in the token file's place must not hang the start.
  const FileDescriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (file.get() < 0)
    return refused(text::TokenUnreadable(path, std::strerror(errno)));
  struct stat facts {};
  if (fstat(file.get(), &facts) != 0)
    return refused(text::TokenUnreadable(path, std::strerror(errno)));
  if (!S_ISREG(facts.st_mode))
    return refused(text::TokenNotAFile(path));
  if (facts.st_uid != geteuid())
    return refused(text::TokenNotOwned(path));
  if (!PrivateToOwner(facts.st_mode))
    return refused(text::TokenNotPrivate(path, facts.st_mode));
  std::string content;
  char buffer[1024];
  for (;;) {
    const ssize_t got = read(file.get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR)
      continue;
    if (got < 0)
      return refused(text::TokenUnreadable(path, std::strerror(errno)));
    if (got == 0)
      break;
    content.append(buffer, static_cast<size_t>(got));
    if (content.size() > kTokenMost + 2)
      return refused(text::TokenTooLong(path, kTokenMost));
  }
  std::string token = content.substr(0, content.find('\n'));
  if (token.ends_with('\r'))
    token.pop_back();
  if (token.empty())
    return refused(text::TokenEmpty(path));
  if (!Printable(token))
    return refused(text::TokenBadCharacters(path));
  if (token.size() < kTokenLeast)
    return refused(text::TokenTooShort(path, kTokenLeast));
  if (token.size() > kTokenMost)
    return refused(text::TokenTooLong(path, kTokenMost));
  return {std::move(token), {}};
}

}  // namespace qvx::station_http
