#include "wire/QorWithTlsFingerprint.h"

#include <cstdio>
#include <memory>

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

namespace solvane {

std::string CertificateFingerprint(X509* certificate) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (!certificate || X509_digest(certificate, EVP_sha256(), digest, &length) != 1) return {};
  static const char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (unsigned int i = 0; i < length; ++i) {
    if (i) text += ':';
    text += kHex[digest[i] >> 4];
    text += kHex[digest[i] & 0xF];
  }
  return text;
}

std::optional<std::string> PemFileFingerprint(const std::string& path) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!file) return std::nullopt;
  std::unique_ptr<X509, void (*)(X509*)> cert(
      PEM_read_X509(file.get(), nullptr, nullptr, nullptr), X509_free);
  if (!cert) return std::nullopt;
  return CertificateFingerprint(cert.get());
}

}  // namespace solvane
