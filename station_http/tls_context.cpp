// Loading the certificate and key with OpenSSL.
#include "station_http/tls_context.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <cstring>

#include "station_http/texts.h"

namespace qvx::station_http {

namespace {

struct Failure {
  unsigned long code = 0;
  std::string reason;  // "no start line", or the system's words for a file that cannot be opened
};

// The first failure in OpenSSL's queue, the queue emptied.
Failure OpenSslFailure() {
  Failure failure;
  failure.code = ERR_get_error();
  if (ERR_SYSTEM_ERROR(failure.code)) {
    failure.reason = std::strerror(ERR_GET_REASON(failure.code));
  } else if (const char* text = ERR_reason_error_string(failure.code)) {
    failure.reason = text;
  }
  ERR_clear_error();
  return failure;
}

bool KeyMismatch(const Failure& failure) {
  return !ERR_SYSTEM_ERROR(failure.code) && ERR_GET_LIB(failure.code) == ERR_LIB_X509 &&
         ERR_GET_REASON(failure.code) == X509_R_KEY_VALUES_MISMATCH;
}

}  // namespace

TlsContext::~TlsContext() {
  SSL_CTX_free(context_);
}

TlsContext::Loaded TlsContext::Load(const std::string& cert_file, const std::string& key_file) {
  ERR_clear_error();
  SSL_CTX* context = SSL_CTX_new(TLS_server_method());
  const auto refused = [&](std::string why) {
    SSL_CTX_free(context);
    return Loaded{nullptr, text::TlsRefused(cert_file, key_file, why)};
  };
  if (context == nullptr)
    return refused(OpenSslFailure().reason);
  SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
  SSL_CTX_set_options(context, SSL_OP_NO_COMPRESSION | SSL_OP_NO_RENEGOTIATION);
  if (SSL_CTX_use_certificate_chain_file(context, cert_file.c_str()) != 1)
    return refused(text::CertificateUnreadable(OpenSslFailure().reason));
  if (SSL_CTX_use_PrivateKey_file(context, key_file.c_str(), SSL_FILETYPE_PEM) != 1) {
    const Failure failure = OpenSslFailure();
    return refused(KeyMismatch(failure) ? text::kKeyNotTheCertificates
                                        : text::KeyUnreadable(failure.reason));
  }
  if (SSL_CTX_check_private_key(context) != 1) {
    OpenSslFailure();
    return refused(text::kKeyNotTheCertificates);
  }
  return {std::unique_ptr<TlsContext>(new TlsContext(context)), {}};
}

}  // namespace qvx::station_http
