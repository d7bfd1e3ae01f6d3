#pragma once
// The SHA-256 fingerprint of a certificate, as both ends show it: 32 bytes in
// upper-case hexadecimal pairs joined by ':' (as `openssl x509 -fingerprint
// -sha256` prints them).

#include <optional>
#include <string>

typedef struct x509_st X509;

namespace solvane {

std::string CertificateFingerprint(X509* certificate);
// The fingerprint of the first certificate in a PEM file; nullopt when the
// file cannot be read or holds none.
std::optional<std::string> PemFileFingerprint(const std::string& path);

}  // namespace solvane
