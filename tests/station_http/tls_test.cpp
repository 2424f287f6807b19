// HTTPS with a certificate made for the test by openssl: the API and control over it, a plain
// client turned away, certificates that do not load; and control from another machine, which
// only HTTPS allows.
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <nlohmann/json.hpp>

#include "station_http/listen_address.h"
#include "tests/station_http/served_station.h"
#include "tests/support/test_files.h"

namespace qvx::test {
namespace {

using Json = nlohmann::json;

struct Certificate {
  std::string cert;
  std::string key;
};

// A self-signed certificate for 127.0.0.1 and `address`, made once per test program.
const Certificate& TestCertificate(const std::string& address = "127.0.0.1") {
  static std::map<std::string, Certificate> made;
  if (const auto found = made.find(address); found != made.end())
    return found->second;
  const std::string folder = TempDir() + "/tls-" + address;
  std::filesystem::create_directories(folder);
  Certificate certificate{folder + "/cert.pem", folder + "/key.pem"};
  const std::string command =
      "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 "
      "-subj /CN=qvx5120-test -addext subjectAltName=IP:127.0.0.1,IP:" +
      address + " -keyout " + certificate.key + " -out " + certificate.cert + " 2>/dev/null";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  chmod(certificate.key.c_str(), 0600);
  return made[address] = certificate;
}

HttpSettings TlsSettings(const Certificate& certificate, bool with_token = true) {
  HttpSettings settings = LoopbackSettings(with_token);
  settings.cert_file = certificate.cert;
  settings.key_file = certificate.key;
  return settings;
}

// A client that takes the test's certificate as its only authority.
std::unique_ptr<httplib::SSLClient> SecureClient(const std::string& address, int port,
                                                 const Certificate& ca) {
  auto client = std::make_unique<httplib::SSLClient>(address, port);
  client->set_ca_cert_path(ca.cert.c_str());
  client->enable_server_certificate_verification(true);
  client->set_read_timeout(5, 0);
  client->set_connection_timeout(5, 0);
  return client;
}

TEST(Https, ServesTheApiAndControl) {
  const Certificate& certificate = TestCertificate();
  ServedStation served(TlsSettings(certificate));
  ASSERT_EQ(served.start_error, std::nullopt);
  EXPECT_EQ(served.server.Url(), "https://127.0.0.1:" + std::to_string(served.server.port()) + "/");
  const auto client = SecureClient("127.0.0.1", served.server.port(), certificate);
  const auto station = client->Get("/api/v1/station");
  ASSERT_TRUE(station) << httplib::to_string(station.error());
  EXPECT_EQ(station->status, 200);
  EXPECT_EQ(Json::parse(station->body)["control"], true);
  const auto wrong =
      client->Post("/api/v1/stop", {{"Authorization", "Bearer s3cret-wrong"}}, "", "");
  ASSERT_TRUE(wrong);
  EXPECT_EQ(wrong->status, 403);
  const auto stop =
      client->Post("/api/v1/stop", {{"Authorization", std::string(kTestBearer)}}, "", "");
  ASSERT_TRUE(stop);
  EXPECT_EQ(stop->status, 200);
  EXPECT_EQ(served.station.calls().stops, 1);
}

TEST(Https, CurlChecksTheCertificateAndReads) {
  const Certificate& certificate = TestCertificate();
  ServedStation served(TlsSettings(certificate));
  ASSERT_EQ(served.start_error, std::nullopt);
  const std::string url = "https://" + served.HostPort() + "/api/v1/sockets";
  EXPECT_EQ(Curl({"--cacert", certificate.cert, url}), R"({"sockets":[]})");
  // Without the test's certificate as its authority, curl refuses the station.
  EXPECT_NE(Curl({url}).find("curl: (60)"), std::string::npos);
}

TEST(Https, APlainClientGetsNoAnswer) {
  const Certificate& certificate = TestCertificate();
  ServedStation served(TlsSettings(certificate));
  ASSERT_EQ(served.start_error, std::nullopt);
  const std::string answer =
      served.Raw("GET /api/v1/station HTTP/1.1\r\nHost: " + served.HostPort() + "\r\n\r\n");
  EXPECT_EQ(answer.find("HTTP/1.1"), std::string::npos) << answer;
  EXPECT_TRUE(served.station.calls().recorded.empty());
}

TEST(Https, SaysWhyACertificateCannotBeUsed) {
  const Certificate& certificate = TestCertificate();
  const Certificate& other = TestCertificate("10.99.99.99");
  const std::string missing = TempDir() + "/no-cert.pem";
  struct Case {
    Certificate given;
    const char* why;
  };
  for (const Case& c :
       {Case{{missing, certificate.key},
             "the certificate cannot be read (No such file or directory)"},
        Case{{certificate.cert, missing}, "the key cannot be read (No such file or directory)"},
        Case{{certificate.cert, other.key}, "the key is not the certificate's"},
        // OpenSSL's own words follow: "no start line", "unsupported".
        Case{{certificate.key, certificate.key}, "the certificate cannot be read ("},
        Case{{certificate.cert, certificate.cert}, "the key cannot be read ("}}) {
    ServedStation served(TlsSettings(c.given));
    ASSERT_TRUE(served.start_error);
    const std::string expected = "--http-cert " + c.given.cert + ", --http-key " + c.given.key +
                                 ": cannot serve HTTPS: " + c.why;
    if (expected.ends_with("("))
      EXPECT_TRUE(served.start_error->starts_with(expected)) << *served.start_error;
    else
      EXPECT_EQ(*served.start_error, expected);
  }
}

// An address of this machine's that is not on loopback, or nothing.
std::optional<std::string> OffLoopbackAddress() {
  ifaddrs* addresses = nullptr;
  if (getifaddrs(&addresses) != 0)
    return std::nullopt;
  std::optional<std::string> found;
  for (ifaddrs* each = addresses; each != nullptr && !found; each = each->ifa_next) {
    if (each->ifa_addr == nullptr || each->ifa_addr->sa_family != AF_INET)
      continue;
    char text[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(each->ifa_addr)->sin_addr, text,
              sizeof text);
    if (!station_http::IsLoopback(text))
      found = text;
  }
  freeifaddrs(addresses);
  return found;
}

TEST(OffLoopback, ControlOnlyOverHttps) {
  const std::optional<std::string> address = OffLoopbackAddress();
  if (!address)
    GTEST_SKIP() << "this machine has no address off loopback";
  const std::string authorization = std::string(kTestBearer);
  // Plain HTTP on every address: read, but no control, even with the token.
  {
    HttpSettings settings = LoopbackSettings(true);
    settings.listen.address = "0.0.0.0";
    ServedStation served(settings);
    ASSERT_EQ(served.start_error, std::nullopt);
    httplib::Client client(*address, served.server.port());
    const auto station = client.Get("/api/v1/station");
    ASSERT_TRUE(station);
    EXPECT_EQ(station->status, 200);
    const auto stop = client.Post("/api/v1/stop", {{"Authorization", authorization}}, "", "");
    ASSERT_TRUE(stop);
    EXPECT_EQ(stop->status, 403);
    EXPECT_EQ(served.station.calls().stops, 0);
  }
  // HTTPS on every address: control with the token, from this other address.
  const Certificate& certificate = TestCertificate(*address);
  HttpSettings settings = TlsSettings(certificate);
  settings.listen.address = "0.0.0.0";
  ServedStation served(settings);
  ASSERT_EQ(served.start_error, std::nullopt);
  const auto client = SecureClient(*address, served.server.port(), certificate);
  const auto stop = client->Post("/api/v1/stop", {{"Authorization", authorization}}, "", "");
  ASSERT_TRUE(stop) << httplib::to_string(stop.error());
  EXPECT_EQ(stop->status, 200);
  const FakeStation::Calls calls = served.station.calls();
  EXPECT_EQ(calls.stops, 1);
  ASSERT_EQ(calls.recorded.size(), 1u);
  EXPECT_EQ(calls.recorded[0].from, *address);
}

}  // namespace
}  // namespace qvx::test
