// The certificate and key HTTPS is served with, loaded and checked against each other once, at
// start-up, so that a wrong file is said before the station runs rather than at the first client.
#pragma once

#include <memory>
#include <optional>
#include <string>

struct ssl_ctx_st;

namespace qvx::station_http {

class TlsContext {
 public:
  ~TlsContext();
  TlsContext(const TlsContext&) = delete;
  TlsContext& operator=(const TlsContext&) = delete;

  struct Loaded {
    std::unique_ptr<TlsContext> context;
    std::string error;  // the whole message, when `context` is empty
  };
  // TLS 1.2 and later, with this certificate chain and its private key.
  static Loaded Load(const std::string& cert_file, const std::string& key_file);

  ssl_ctx_st* get() const { return context_; }

 private:
  explicit TlsContext(ssl_ctx_st* context) : context_(context) {}
  ssl_ctx_st* context_;
};

}  // namespace qvx::station_http
