// Which requests the interface answers (their Host) and which may control the station (the
// token), case by case.
#include <gtest/gtest.h>

#include "station_http/access.h"

namespace qvx::station_http {
namespace {

struct HostCase {
  const char* listen_address;
  int port;
  bool tls;
  std::vector<std::string> names;
  const char* host;           // the Host header
  const char* local_address;  // where the connection arrived
  bool allowed;
};

// This keeps the bytes of the case out of the test list.
void PrintTo(const HostCase& c, std::ostream* out) {
  *out << c.host << " at " << c.local_address << " on " << c.listen_address << ":" << c.port
       << (c.tls ? " https" : "") << (c.names.empty() ? "" : " with names");
}

class HostRule : public ::testing::TestWithParam<HostCase> {};

TEST_P(HostRule, AllowsOnlyThisStationsNames) {
  const HostCase& c = GetParam();
  ListenAddress listen;
  listen.address = c.listen_address;
  listen.v6 = listen.address.find(':') != std::string::npos;
  const HostCheck check(listen, c.port, c.tls, c.names);
  EXPECT_EQ(check.Allows(c.host, c.local_address), c.allowed)
      << c.host << " at " << c.local_address << " on " << c.listen_address;
}

const std::vector<std::string> kNone;
const std::vector<std::string> kNames = {"line-pc-4", "Line-PC-4.plant.example",
                                         "proxy.plant.example:443"};

INSTANTIATE_TEST_SUITE_P(
    Requests, HostRule,
    ::testing::Values(
        // The listener's own address, with its port.
        HostCase{"127.0.0.1", 8080, false, kNone, "127.0.0.1:8080", "127.0.0.1", true},
        HostCase{"127.0.0.1", 8080, false, kNone, "127.0.0.1:8081", "127.0.0.1", false},
        HostCase{"127.0.0.1", 8080, false, kNone, "127.0.0.1", "127.0.0.1", false},
        HostCase{"127.0.0.1", 80, false, kNone, "127.0.0.1", "127.0.0.1", true},
        HostCase{"127.0.0.1", 443, true, kNone, "127.0.0.1", "127.0.0.1", true},
        HostCase{"127.0.0.1", 443, false, kNone, "127.0.0.1", "127.0.0.1", false},
        HostCase{"::1", 8080, false, kNone, "[::1]:8080", "::1", true},
        HostCase{"::1", 8080, false, kNone, "[0:0::1]:8080", "::1", true},
        HostCase{"::1", 8080, false, kNone, "::1:8080", "::1", false},
        // localhost, over loopback only.
        HostCase{"127.0.0.1", 8080, false, kNone, "localhost:8080", "127.0.0.1", true},
        HostCase{"127.0.0.1", 8080, false, kNone, "LOCALHOST:8080", "127.0.0.1", true},
        HostCase{"0.0.0.0", 8080, false, kNone, "localhost:8080", "10.0.0.5", false},
        // A name pointed at this machine by someone else's DNS.
        HostCase{"127.0.0.1", 8080, false, kNone, "attacker.example:8080", "127.0.0.1", false},
        HostCase{"127.0.0.1", 8080, false, kNone, "127.0.0.1.attacker.example:8080", "127.0.0.1",
                 false},
        HostCase{"127.0.0.1", 8080, false, kNone, "localhost.attacker.example:8080", "127.0.0.1",
                 false},
        // Every address: the one the request arrived at, not another of the machine's.
        HostCase{"0.0.0.0", 8080, false, kNone, "10.0.0.5:8080", "10.0.0.5", true},
        HostCase{"0.0.0.0", 8080, false, kNone, "10.0.0.6:8080", "10.0.0.5", false},
        HostCase{"::", 8080, false, kNone, "10.0.0.5:8080", "::ffff:10.0.0.5", true},
        HostCase{"::", 8080, false, kNone, "[fe80::1]:8080", "fe80::1", true},
        HostCase{"10.0.0.5", 8080, false, kNone, "10.0.0.5:8080", "10.0.0.5", true},
        HostCase{"10.0.0.5", 8080, false, kNone, "127.0.0.1:8080", "127.0.0.1", false},
        // Names given with --http-host, in any case; with a port, exactly that port.
        HostCase{"0.0.0.0", 8080, false, kNames, "line-pc-4:8080", "10.0.0.5", true},
        HostCase{"0.0.0.0", 8080, false, kNames, "LINE-PC-4:8080", "10.0.0.5", true},
        HostCase{"0.0.0.0", 8080, false, kNames, "line-pc-4.plant.example:8080", "10.0.0.5", true},
        HostCase{"0.0.0.0", 8080, false, kNames, "line-pc-4:9090", "10.0.0.5", false},
        HostCase{"0.0.0.0", 8080, false, kNames, "line-pc-5:8080", "10.0.0.5", false},
        HostCase{"0.0.0.0", 8080, false, kNames, "proxy.plant.example:443", "10.0.0.5", true},
        HostCase{"0.0.0.0", 8080, false, kNames, "proxy.plant.example:8080", "10.0.0.5", false},
        // Not a Host at all.
        HostCase{"127.0.0.1", 8080, false, kNone, "", "127.0.0.1", false},
        HostCase{"127.0.0.1", 8080, false, kNone, ":8080", "127.0.0.1", false},
        HostCase{"127.0.0.1", 8080, false, kNone, "127.0.0.1:", "127.0.0.1", false},
        HostCase{"::1", 8080, false, kNone, "[::1:8080", "::1", false},
        HostCase{"127.0.0.1", 8080, false, kNone, "127.0.0.1:8080/x", "127.0.0.1", false}));

struct ControlCase {
  bool token;
  bool open;
  const char* authorization;
  ControlVerdict verdict;
};

// This keeps the bytes of the case out of the test list.
void PrintTo(const ControlCase& c, std::ostream* out) {
  *out << (c.token ? "token" : "no token") << (c.open ? ", open" : ", closed") << ", \""
       << c.authorization << "\"";
}

class ControlRule : public ::testing::TestWithParam<ControlCase> {};

constexpr const char* kToken = "s3cret-token-0123456789";

TEST_P(ControlRule, TakesTheTokenAndNothingElse) {
  const ControlCase& c = GetParam();
  const std::optional<std::string> token =
      c.token ? std::optional<std::string>(kToken) : std::nullopt;
  EXPECT_EQ(CheckControl(token, c.open, c.authorization), c.verdict) << c.authorization;
}

INSTANTIATE_TEST_SUITE_P(
    Requests, ControlRule,
    ::testing::Values(
        ControlCase{true, true, "Bearer s3cret-token-0123456789", ControlVerdict::kAllowed},
        ControlCase{true, true, "bearer s3cret-token-0123456789", ControlVerdict::kAllowed},
        ControlCase{true, true, "Bearer  s3cret-token-0123456789 ", ControlVerdict::kAllowed},
        ControlCase{true, true, "", ControlVerdict::kNoToken},
        ControlCase{true, true, "Bearer", ControlVerdict::kNoToken},
        ControlCase{true, true, "Bearer ", ControlVerdict::kNoToken},
        ControlCase{true, true, "Basic czNjcmV0", ControlVerdict::kNoToken},
        ControlCase{true, true, "s3cret-token-0123456789", ControlVerdict::kNoToken},
        ControlCase{true, true, "Bearer s3cret-token-012345678", ControlVerdict::kWrongToken},
        ControlCase{true, true, "Bearer s3cret-token-01234567890", ControlVerdict::kWrongToken},
        ControlCase{true, true, "Bearer S3CRET-TOKEN-0123456789", ControlVerdict::kWrongToken},
        // Without a token, or on a plain listener off loopback, no request controls anything.
        ControlCase{false, true, "Bearer s3cret-token-0123456789", ControlVerdict::kOff},
        ControlCase{false, true, "", ControlVerdict::kOff},
        ControlCase{true, false, "Bearer s3cret-token-0123456789", ControlVerdict::kNeedsTls},
        ControlCase{true, false, "", ControlVerdict::kNeedsTls}));

TEST(SameToken, ComparesWholeTokens) {
  EXPECT_TRUE(SameToken(kToken, kToken));
  EXPECT_FALSE(SameToken("", kToken));
  EXPECT_FALSE(SameToken("s3cret-token-0123456789x", kToken));
  EXPECT_FALSE(SameToken("3cret-token-0123456789", kToken));
  EXPECT_TRUE(SameToken(std::string("a\0b", 3), std::string("a\0b", 3)));
  EXPECT_FALSE(SameToken(std::string("a\0b", 3), std::string("a\0c", 3)));
}

}  // namespace
}  // namespace qvx::station_http
