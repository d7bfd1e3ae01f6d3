#include "net/TlsIdentity.h"

#include <unistd.h>

#include <cstdio>
#include <functional>
#include <stdexcept>
#include <system_error>

#include "net/ServerConfig.h"
#include "wire/QorWithTlsFingerprint.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace solvane::server {

namespace fs = std::filesystem;

namespace {

template <class T, void (*Free)(T*)>
struct TFree {
  void operator()(T* p) const { Free(p); }
};
using TKey = std::unique_ptr<EVP_PKEY, TFree<EVP_PKEY, EVP_PKEY_free>>;
using TCert = std::unique_ptr<X509, TFree<X509, X509_free>>;

std::string HostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0 || !name[0]) return "solvane-server";
  return name;
}

void Check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("cannot create the TLS identity: ") + what);
}

void AddExtension(X509* cert, int nid, const std::string& value) {
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
  X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
  Check(ext != nullptr, "extension");
  X509_add_ext(cert, ext, -1);
  X509_EXTENSION_free(ext);
}

TCert SelfSign(EVP_PKEY* key, const std::string& host) {
  TCert cert(X509_new());
  Check(cert != nullptr, "certificate");
  X509_set_version(cert.get(), 2);
  unsigned char serial[16];
  Check(RAND_bytes(serial, sizeof serial) == 1, "serial number");
  serial[0] &= 0x7F;
  BIGNUM* bn = BN_bin2bn(serial, sizeof serial, nullptr);
  BN_to_ASN1_INTEGER(bn, X509_get_serialNumber(cert.get()));
  BN_free(bn);
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), 10L * 366 * 24 * 3600);
  X509_set_pubkey(cert.get(), key);
  X509_NAME* name = X509_get_subject_name(cert.get());
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                             reinterpret_cast<const unsigned char*>(host.c_str()), -1, -1, 0);
  X509_NAME_add_entry_by_txt(name, "O", MBSTRING_UTF8,
                             reinterpret_cast<const unsigned char*>("solvane-server"), -1, -1, 0);
  X509_set_issuer_name(cert.get(), name);
  AddExtension(cert.get(), NID_subject_alt_name, "DNS:" + host + ",DNS:localhost,IP:127.0.0.1");
  AddExtension(cert.get(), NID_basic_constraints, "critical,CA:FALSE");
  AddExtension(cert.get(), NID_ext_key_usage, "serverAuth");
  Check(X509_sign(cert.get(), key, EVP_sha256()) > 0, "signature");
  return cert;
}

// Writes through a file created 0600 from the start, so the key is never
// readable by others, not even for a moment.
void WritePrivate(const fs::path& path, const std::function<bool(FILE*)>& write) {
  const fs::path temp = path.string() + ".new";
  fs::remove(temp);
  FILE* file = nullptr;
  {
    const mode_t old = umask(077);
    file = std::fopen(temp.c_str(), "wx");
    umask(old);
  }
  if (!file) throw std::runtime_error("cannot write " + temp.string());
  const bool ok = write(file);
  const bool flushed = std::fflush(file) == 0 && fsync(fileno(file)) == 0;
  std::fclose(file);
  if (!ok || !flushed) {
    fs::remove(temp);
    throw std::runtime_error("cannot write " + temp.string());
  }
  fs::permissions(temp, fs::perms::owner_read | fs::perms::owner_write);
  fs::rename(temp, path);
}

}  // namespace

TTlsFiles DefaultTlsFiles(const fs::path& dataDir) {
  return {dataDir / "tls" / "server.crt", dataDir / "tls" / "server.key"};
}

bool EnsureSelfSignedIdentity(const TTlsFiles& files) {
  if (fs::exists(files.certificate) && fs::exists(files.key)) return false;
  fs::create_directories(files.key.parent_path());
  fs::permissions(files.key.parent_path(), fs::perms::owner_all);
  TKey key(EVP_EC_gen("P-256"));
  Check(key != nullptr, "key");
  TCert cert = SelfSign(key.get(), HostName());
  // Key first: a certificate without its key would be taken as complete.
  WritePrivate(files.key, [&](FILE* f) {
    return PEM_write_PrivateKey(f, key.get(), nullptr, nullptr, 0, nullptr, nullptr) == 1;
  });
  WritePrivate(files.certificate, [&](FILE* f) { return PEM_write_X509(f, cert.get()) == 1; });
  return true;
}

std::unique_ptr<asio::ssl::context> MakeServerTlsContext(const TTlsFiles& files) {
  auto context = std::make_unique<asio::ssl::context>(asio::ssl::context::tls_server);
  SSL_CTX* ctx = context->native_handle();
  SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
  SSL_CTX_set_options(ctx, SSL_OP_NO_COMPRESSION | SSL_OP_NO_RENEGOTIATION |
                               SSL_OP_CIPHER_SERVER_PREFERENCE);
  // Resumption: the session cache for TLS 1.2 ids, tickets for TLS 1.3.
  static const unsigned char kSessionContext[] = "solvane-server";
  SSL_CTX_set_session_id_context(ctx, kSessionContext, sizeof kSessionContext - 1);
  SSL_CTX_set_session_cache_mode(ctx, SSL_SESS_CACHE_SERVER);
  std::error_code ec;
  context->use_certificate_chain_file(files.certificate.string(), ec);
  if (ec) throw std::runtime_error("cannot use the certificate " + files.certificate.string());
  context->use_private_key_file(files.key.string(), asio::ssl::context::pem, ec);
  if (ec) throw std::runtime_error("cannot use the key " + files.key.string());
  if (SSL_CTX_check_private_key(ctx) != 1)
    throw std::runtime_error("the key " + files.key.string() + " does not belong to the certificate " +
                             files.certificate.string());
  return context;
}

std::unique_ptr<asio::ssl::context> PrepareServerTls(const TServerConfig& config,
                                                     std::ostream& log) {
  if (config.tlsMode == TTlsMode::Off) return nullptr;
  if (config.tlsCertificate.empty() != config.tlsKey.empty())
    throw std::runtime_error("--tls-cert and --tls-key are given together");
  TTlsFiles files{config.tlsCertificate, config.tlsKey};
  if (files.certificate.empty()) {
    files = DefaultTlsFiles(config.dataDir);
    if (EnsureSelfSignedIdentity(files))
      log << "created a self-signed certificate " << files.certificate.string() << std::endl;
  }
  auto context = MakeServerTlsContext(files);
  log << "TLS " << TlsModeName(config.tlsMode) << ", certificate SHA-256 fingerprint "
      << PemFileFingerprint(files.certificate.string()).value_or("?") << std::endl;
  return context;
}

}  // namespace solvane::server
