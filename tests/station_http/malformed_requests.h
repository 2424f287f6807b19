// Malformed requests of twenty-five kinds, made from a seed: bytes that are no request, bad
// methods, versions, header names and sizes, bodies and lengths, path tricks, and control with
// broken tokens. The HTTP tests send them to a fake station and to a real one.
#pragma once

#include <cstdint>
#include <random>
#include <string>

#include "tests/station_http/served_station.h"

namespace qvx::test {

class Malformed {
 public:
  Malformed(std::string host, uint32_t seed) : host_(std::move(host)), random_(seed) {}

  // The `index`-th malformed request: its kind is index % the number of kinds.
  std::string Make(int index) {
    const std::string token = std::string(kTestBearer);
    const std::string host = "Host: " + host_ + "\r\n";
    switch (index % 25) {
      case 0:
        return Bytes(1 + Pick(2000));
      case 1:
        return Bytes(1 + Pick(200)) + "\r\n\r\n";
      case 2:
        return Letters(1 + Pick(12)) + " /api/v1/stop HTTP/1.1\r\n" + host + "\r\n";
      case 3:
        return "GET /x" + Bytes(1 + Pick(40)) + " HTTP/1.1\r\n" + host + "\r\n";
      case 4:
        return "GET /api/v1/station HTTP/" + std::to_string(Pick(10)) + "." +
               std::to_string(2 + Pick(8)) + "\r\n" + host + "\r\n";
      case 5:
        return "POST /api/v1/stop HTTP/1.1\r\n" + host + "Authorization " + token + "\r\n" +
               Letters(30) + "\r\n\r\n";
      case 6:
        return "GET / HTTP/1.1\r\n" + host + "X-" + Letters(5) + std::string(1, '\0') +
               ": x\r\nBad Name: y\r\n\r\n";
      case 7:
        return "GET / HTTP/1.1\r\n" + host + "X-Big: " + std::string(9000 + Pick(20000), 'b') +
               "\r\n\r\n";
      case 8: {
        std::string many = "GET / HTTP/1.1\r\n" + host;
        for (int i = 0, n = 2500 + Pick(2000); i < n; ++i)
          many += "X-" + std::to_string(i) + ": " + Letters(4) + "\r\n";
        return many + "\r\n";
      }
      case 9:
        return "POST /api/v1/label HTTP/1.1\r\n" + host + "Authorization: " + token +
               "\r\nContent-Type: application/json\r\nContent-Length: " +
               std::vector<std::string>{"-5", "x", "99999999999999999999", "1e3", ""}[Pick(5)] +
               "\r\n\r\n{\"label\":\"A\"}";
      case 10:
        return "POST /api/v1/label HTTP/1.1\r\n" + host + "Authorization: " + token +
               "\r\nContent-Type: application/json\r\nContent-Length: 100000\r\n\r\n" +
               std::string(100000, '{');
      case 11:
        return "POST /api/v1/label HTTP/1.1\r\n" + host + "Authorization: " + token +
               "\r\nContent-Type: application/json\r\nTransfer-Encoding: chunked\r\n\r\n" +
               std::vector<std::string>{"zz\r\n", "-1\r\n", "ffffffffffffffffff\r\n",
                                        "5\r\n{\"lab"}[Pick(4)];
      case 12:
        return "POST /api/v1/label HTTP/1.1\r\n" + host + "Authorization: " + token +
               "\r\nContent-Type: application/json\r\nTransfer-Encoding: chunked\r\n"
               "Content-Length: 4\r\n\r\n3\r\nabc\r\n0\r\n\r\n";
      case 13:
        return Post("/api/v1/label", "", "application/json", "{\"label\":\"A-1\"}");
      case 14:
        return Post("/api/v1/label", token, "application/json", MalformedJson());
      case 15:
        return Post("/api/v1/stop", "Bearer " + Letters(1 + Pick(40)), "", "");
      case 16:
        return Post("/api/v1/stop?cut=" + Letters(1 + Pick(5)), token, "", "");
      case 17:
        return "POST /api/v1/stop HTTP/1.1\r\nHost: " + Letters(1 + Pick(20)) + "." + Letters(3) +
               "\r\nAuthorization: " + token + "\r\nContent-Length: 0\r\n\r\n";
      case 18:
        return "GET /api/v1/station HTTP/1.1\r\n" + host.substr(0, host.size() - 2) +
               std::string(1, '\0') + "\r\n\r\n";
      case 19:
        return "POST /api/v1/start HTTP/1.1\n" + host.substr(0, host.size() - 2) +
               "\nAuthorization: " + token + "\nContent-Length: 0\n\n";
      case 20:
        return "POST /api/v1/start HTTP/1.1\r\n" + host + "Authorization: " + token;
      case 21:
        return "GET /api/v1/" +
               std::vector<std::string>{"%2e%2e/stop",     "stop%00", "..%2fstop",
                                        "station/../stop", "%",       "%zz"}[Pick(6)] +
               " HTTP/1.1\r\n" + host + "\r\n";
      case 22:
        return "POST http://" + host_ + "/api/v1/" +
               std::vector<std::string>{"stop", "start"}[Pick(2)] + " HTTP/1.1\r\n" + host +
               "Content-Length: 0\r\n\r\n";
      case 23:
        return "POST /api/v1/label HTTP/1.1\r\n" + host + "Authorization: " + token +
               "\r\nContent-Type: application/json\r\nExpect: 100-continue\r\n"
               "Content-Length: 50000\r\n\r\n";
      default:
        return Post("/api/v1/label", token, "application/json",
                    "{\"label\":\"" + std::string(300 + Pick(1000), 'x') + "\"}");
    }
  }

 private:
  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
  std::string Bytes(int n) {
    std::string bytes;
    for (int i = 0; i < n; ++i)
      bytes += static_cast<char>(Pick(256));
    return bytes;
  }
  std::string Letters(int n) {
    std::string letters;
    for (int i = 0; i < n; ++i)
      letters += static_cast<char>('a' + Pick(26));
    return letters;
  }
  std::string MalformedJson() {
    return std::vector<std::string>{"{",
                                    "{\"label\":",
                                    "{\"label\":\"A-1\"",
                                    "[1,2",
                                    "{\"label\":\"\xc3\x28\"}",
                                    "{\"label\":null}",
                                    "{\"label\":[\"A\"]}",
                                    "\"A-1\"",
                                    "{'label':'A'}",
                                    "{\"label\":\"A\nB\"}"}[Pick(10)];
  }
  std::string Post(const std::string& target, const std::string& authorization,
                   const std::string& type, const std::string& body) {
    std::string request = "POST " + target + " HTTP/1.1\r\nHost: " + host_ + "\r\n";
    if (!authorization.empty())
      request += "Authorization: " + authorization + "\r\n";
    if (!type.empty())
      request += "Content-Type: " + type + "\r\n";
    return request + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
  }

  std::string host_;
  std::mt19937 random_;
};

}  // namespace qvx::test
