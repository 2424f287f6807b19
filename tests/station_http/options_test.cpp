// The HTTP options as a front end takes them: --http's address and port, the token file's checks,
// --http-host's names, and the options checked together.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "station_http/http_options.h"
#include "station_http/token_file.h"
#include "tests/support/test_files.h"

namespace qvx::station_http {
namespace {

struct ListenCase {
  const char* typed;
  const char* address;  // nullptr: refused
  int port;
  bool v6;
  bool loopback;
  const char* error;
};

// This keeps the bytes of the case out of the test list.
void PrintTo(const ListenCase& c, std::ostream* out) {
  *out << c.typed;
}

class ListenAddressTest : public ::testing::TestWithParam<ListenCase> {};

TEST_P(ListenAddressTest, ReadsOrRefuses) {
  const ListenCase& c = GetParam();
  const ListenParse parse = ParseListenAddress(c.typed);
  if (c.address == nullptr) {
    EXPECT_FALSE(parse.address);
    EXPECT_EQ(parse.error, c.error);
    return;
  }
  ASSERT_TRUE(parse.address) << parse.error;
  EXPECT_EQ(parse.address->address, c.address);
  EXPECT_EQ(parse.address->port, c.port);
  EXPECT_EQ(parse.address->v6, c.v6);
  EXPECT_EQ(parse.address->loopback(), c.loopback);
}

INSTANTIATE_TEST_SUITE_P(
    Typed, ListenAddressTest,
    ::testing::Values(
        // A bare port is loopback only.
        ListenCase{"8080", "127.0.0.1", 8080, false, true, ""},
        ListenCase{"0", "127.0.0.1", 0, false, true, ""},
        ListenCase{"127.0.0.1:8080", "127.0.0.1", 8080, false, true, ""},
        ListenCase{"localhost:8080", "127.0.0.1", 8080, false, true, ""},
        ListenCase{"0.0.0.0:80", "0.0.0.0", 80, false, false, ""},
        ListenCase{"192.168.7.20:65535", "192.168.7.20", 65535, false, false, ""},
        ListenCase{"[::1]:8080", "::1", 8080, true, true, ""},
        ListenCase{"[::]:8080", "::", 8080, true, false, ""},
        ListenCase{"[0:0::1]:9", "::1", 9, true, true, ""},
        ListenCase{"[FE80::1]:443", "fe80::1", 443, true, false, ""},
        ListenCase{"65536", nullptr, 0, false, false,
                   "--http: \"65536\" is not [ADDRESS:]PORT: the port is a number from 0 to 65535"},
        ListenCase{"-1", nullptr, 0, false, false,
                   "--http: \"-1\" is not [ADDRESS:]PORT: the port is a number from 0 to 65535"},
        ListenCase{"80a", nullptr, 0, false, false,
                   "--http: \"80a\" is not [ADDRESS:]PORT: the port is a number from 0 to 65535"},
        ListenCase{"127.0.0.1:", nullptr, 0, false, false,
                   "--http: \"127.0.0.1:\" is not [ADDRESS:]PORT: the port is a number from 0 to "
                   "65535"},
        ListenCase{":8080", nullptr, 0, false, false,
                   "--http: \":8080\" is not [ADDRESS:]PORT: the address is an IPv4 address "
                   "(127.0.0.1) or an IPv6 address in brackets ([::1])"},
        ListenCase{"station.example:8080", nullptr, 0, false, false,
                   "--http: \"station.example:8080\" is not [ADDRESS:]PORT: the address is an IPv4 "
                   "address (127.0.0.1) or an IPv6 address in brackets ([::1])"},
        ListenCase{"::1:8080", nullptr, 0, false, false,
                   "--http: \"::1:8080\" is not [ADDRESS:]PORT: an IPv6 address goes in brackets: "
                   "[::1]:8080"},
        ListenCase{"[::1]8080", nullptr, 0, false, false,
                   "--http: \"[::1]8080\" is not [ADDRESS:]PORT: the address is an IPv4 address "
                   "(127.0.0.1) or an IPv6 address in brackets ([::1])"},
        ListenCase{"[127.0.0.1]:8080", nullptr, 0, false, false,
                   "--http: \"[127.0.0.1]:8080\" is not [ADDRESS:]PORT: the address is an IPv4 "
                   "address (127.0.0.1) or an IPv6 address in brackets ([::1])"},
        ListenCase{"256.1.1.1:80", nullptr, 0, false, false,
                   "--http: \"256.1.1.1:80\" is not [ADDRESS:]PORT: the address is an IPv4 "
                   "address (127.0.0.1) or an IPv6 address in brackets ([::1])"}));

TEST(Addresses, LoopbackAndCanonicalForms) {
  EXPECT_TRUE(IsLoopback("127.0.0.1"));
  EXPECT_TRUE(IsLoopback("127.255.3.4"));
  EXPECT_TRUE(IsLoopback("::1"));
  EXPECT_TRUE(IsLoopback("::ffff:127.0.0.1"));
  EXPECT_FALSE(IsLoopback("128.0.0.1"));
  EXPECT_FALSE(IsLoopback("::ffff:10.0.0.1"));
  EXPECT_FALSE(IsLoopback("localhost"));
  EXPECT_EQ(CanonicalAddress("::ffff:10.0.0.1"), "10.0.0.1");
  EXPECT_EQ(CanonicalAddress("0:0:0:0:0:0:0:1"), "::1");
  EXPECT_EQ(CanonicalAddress("station"), "");
}

TEST(HostNames, WhatHttpHostTakes) {
  for (const char* name : {"line-pc-4", "line-pc-4.plant.example", "line-pc-4:8443", "10.0.0.5",
                           "[fe80::1]", "[fe80::1]:8080", "LINE_PC"})
    EXPECT_TRUE(IsHostName(name)) << name;
  for (const char* name : {"", "line pc", "line-pc-4:", "line-pc-4:99999", "line-pc-4:80a",
                           "[fe80::1", "[10.0.0.5]", "[fe80::1]x", "a/b", "name:1:2"})
    EXPECT_FALSE(IsHostName(name)) << name;
}

// A token file with `content` and `mode`, in the test's folder.
std::string TokenFile(const std::string& name, const std::string& content, mode_t mode) {
  const std::string path = test::TempDir() + "/" + name;
  std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
  chmod(path.c_str(), mode);
  return path;
}

TEST(TokenFile, ReadsTheFirstLineOfAPrivateFile) {
  for (const mode_t mode : {0600, 0400, 0700}) {
    const std::string path = TokenFile("token", "s3cret-token-0123456789\nnot this\n", mode);
    const TokenRead read = ReadTokenFile(path);
    ASSERT_TRUE(read.token) << read.error;
    EXPECT_EQ(*read.token, "s3cret-token-0123456789");
  }
  const TokenRead crlf = ReadTokenFile(TokenFile("crlf", "s3cret-token-0123456789\r\n", 0600));
  EXPECT_EQ(crlf.token.value_or(""), "s3cret-token-0123456789");
}

struct TokenCase {
  const char* content;
  mode_t mode;
  const char* error;  // after "--http-token: PATH: "
};

// This keeps the bytes of the case out of the test list.
void PrintTo(const TokenCase& c, std::ostream* out) {
  *out << "\"" << c.content << "\" mode " << std::oct << c.mode;
}

class TokenFileRefusal : public ::testing::TestWithParam<TokenCase> {};

TEST_P(TokenFileRefusal, SaysWhy) {
  const TokenCase& c = GetParam();
  const std::string path = TokenFile("refused", c.content, c.mode);
  const TokenRead read = ReadTokenFile(path);
  EXPECT_FALSE(read.token);
  EXPECT_EQ(read.error, "--http-token: " + path + ": " + c.error);
}

INSTANTIATE_TEST_SUITE_P(
    Files, TokenFileRefusal,
    ::testing::Values(
        TokenCase{"s3cret-token-0123456789", 0644,
                  "other users may read the token file (mode 0644); it must be readable by its "
                  "owner alone (chmod 600)"},
        TokenCase{"s3cret-token-0123456789", 0640,
                  "other users may read the token file (mode 0640); it must be readable by its "
                  "owner alone (chmod 600)"},
        TokenCase{"s3cret-token-0123456789", 0602,
                  "other users may read the token file (mode 0602); it must be readable by its "
                  "owner alone (chmod 600)"},
        TokenCase{"", 0600, "the token file is empty"},
        TokenCase{"\nsecond-line-token-0123", 0600, "the token file is empty"},
        TokenCase{"short", 0600, "the token is shorter than 16 characters"},
        TokenCase{"has a space in it 0123456789", 0600,
                  "the token holds spaces or characters other than printable ASCII"},
        TokenCase{"tab\there-0123456789", 0600,
                  "the token holds spaces or characters other than printable ASCII"}));

TEST(TokenFile, RefusesAHugeToken) {
  const std::string path = TokenFile("huge", std::string(5000, 'x'), 0600);
  EXPECT_EQ(ReadTokenFile(path).error,
            "--http-token: " + path + ": the token is longer than 4096 characters");
}

TEST(TokenFile, RefusesWhatIsNotAPrivateFileOfThisUser) {
  const std::string missing = test::TempDir() + "/no-such-token";
  EXPECT_EQ(ReadTokenFile(missing).error,
            "--http-token: " + missing + ": No such file or directory");
  EXPECT_EQ(ReadTokenFile(test::TempDir()).error,
            "--http-token: " + test::TempDir() + ": not a file");
  const std::string fifo = test::TempDir() + "/token-fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(ReadTokenFile(fifo).error, "--http-token: " + fifo + ": not a file");
  const std::string others = TokenFile("others", "s3cret-token-0123456789", 0600);
  if (geteuid() != 0)
    GTEST_SKIP() << "only root can give a file to another user";
  ASSERT_EQ(chown(others.c_str(), 65534, 65534), 0);
  EXPECT_EQ(ReadTokenFile(others).error,
            "--http-token: " + others +
                ": the token file belongs to another user; it must be this user's own");
}

TEST(HttpOptions, NamesItsOptions) {
  for (const char* option : {"--http", "--http-token", "--http-cert", "--http-key", "--http-host"})
    EXPECT_TRUE(HttpOptions::Names(option)) << option;
  for (const char* option : {"--https", "--http-port", "--token", "-http"})
    EXPECT_FALSE(HttpOptions::Names(option)) << option;
}

TEST(HttpOptions, WithoutHttpNothingIsServed) {
  const SettingsRead read = HttpOptions().Settings();
  EXPECT_FALSE(read.settings);
  EXPECT_EQ(read.error, "");
}

TEST(HttpOptions, TakesEveryOption) {
  const std::string token = TokenFile("good", "s3cret-token-0123456789\n", 0600);
  const std::string key = TokenFile("key.pem", "key", 0600);
  HttpOptions options;
  EXPECT_EQ(options.Take("--http", "[::]:8443"), std::nullopt);
  EXPECT_EQ(options.Take("--http-token", token.c_str()), std::nullopt);
  EXPECT_EQ(options.Take("--http-cert", "/etc/station/cert.pem"), std::nullopt);
  EXPECT_EQ(options.Take("--http-key", key.c_str()), std::nullopt);
  EXPECT_EQ(options.Take("--http-host", "line-pc-4"), std::nullopt);
  EXPECT_EQ(options.Take("--http-host", "line-pc-4.plant.example:443"), std::nullopt);
  const SettingsRead read = options.Settings();
  ASSERT_TRUE(read.settings) << read.error;
  const HttpSettings& settings = *read.settings;
  EXPECT_EQ(settings.listen, (ListenAddress{"::", 8443, true}));
  EXPECT_EQ(settings.token.value_or(""), "s3cret-token-0123456789");
  EXPECT_EQ(settings.cert_file, "/etc/station/cert.pem");
  EXPECT_EQ(settings.key_file, key);
  EXPECT_TRUE(settings.tls());
  EXPECT_EQ(settings.hosts, (std::vector<std::string>{"line-pc-4", "line-pc-4.plant.example:443"}));
}

struct CombinationCase {
  std::vector<std::pair<const char*, const char*>> given;
  const char* error;  // of the last Take, or of Settings when every Take passed
};

// This keeps the bytes of the case out of the test list.
void PrintTo(const CombinationCase& c, std::ostream* out) {
  for (const auto& [option, value] : c.given)
    *out << option << " " << (value == nullptr ? "(none)" : *value ? value : "\"\"") << " ";
}

class HttpOptionsRefusal : public ::testing::TestWithParam<CombinationCase> {};

TEST_P(HttpOptionsRefusal, SaysWhy) {
  HttpOptions options;
  std::optional<std::string> error;
  for (const auto& [option, value] : GetParam().given) {
    ASSERT_EQ(error, std::nullopt) << "an earlier option was refused: " << *error;
    error = options.Take(option, value);
  }
  if (!error)
    error = options.Settings().error;
  EXPECT_EQ(*error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, HttpOptionsRefusal,
    ::testing::Values(
        CombinationCase{{{"--http", nullptr}}, "--http: missing [ADDRESS:]PORT"},
        CombinationCase{{{"--http", ""}}, "--http: missing [ADDRESS:]PORT"},
        CombinationCase{{{"--http-token", nullptr}}, "--http-token: missing file"},
        CombinationCase{{{"--http-host", nullptr}}, "--http-host: missing host name"},
        CombinationCase{{{"--http", "8080"}, {"--http", "8081"}}, "--http is given twice"},
        CombinationCase{{{"--http", "8080"}, {"--http-key", "a"}, {"--http-key", "b"}},
                        "--http-key is given twice"},
        CombinationCase{
            {{"--http", "x"}},
            "--http: \"x\" is not [ADDRESS:]PORT: the port is a number from 0 to 65535"},
        CombinationCase{{{"--http", "8080"}, {"--http-host", "a b"}},
                        "--http-host: \"a b\" is not a host name (letters, digits, dots and "
                        "hyphens, or an address, with an optional :PORT)"},
        CombinationCase{{{"--http-token", "/t"}}, "--http-token goes with --http"},
        CombinationCase{{{"--http-cert", "/c"}}, "--http-cert goes with --http"},
        CombinationCase{{{"--http-key", "/k"}}, "--http-key goes with --http"},
        CombinationCase{{{"--http-host", "line-pc-4"}}, "--http-host goes with --http"},
        CombinationCase{{{"--http", "8080"}, {"--http-cert", "/c"}},
                        "--http-cert and --http-key go together"},
        CombinationCase{{{"--http", "8080"}, {"--http-key", "/k"}},
                        "--http-cert and --http-key go together"}));

TEST(HttpOptions, RefusesATokenFileOthersMayRead) {
  const std::string token = TokenFile("open", "s3cret-token-0123456789", 0604);
  HttpOptions options;
  options.Take("--http", "8080");
  options.Take("--http-token", token.c_str());
  EXPECT_EQ(options.Settings().error,
            "--http-token: " + token +
                ": other users may read the token file (mode 0604); it must be readable by its "
                "owner alone (chmod 600)");
}

TEST(HttpOptions, RefusesAKeyEveryoneMayRead) {
  const std::string key = TokenFile("open-key.pem", "key", 0644);
  HttpOptions options;
  options.Take("--http", "8443");
  options.Take("--http-cert", "/c");
  options.Take("--http-key", key.c_str());
  EXPECT_EQ(options.Settings().error, "--http-key: " + key +
                                          ": every user may read the key (mode 0644); make it "
                                          "private (chmod 600)");
}

}  // namespace
}  // namespace qvx::station_http
