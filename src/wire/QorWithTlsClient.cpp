#include "wire/QorWithTlsClient.h"

#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include "wire/QorWithTlsFingerprint.h"

namespace solvane {

namespace {
// Asio keeps its own data in the app-data slots; ours go in slots of their own.
int ContextSlot() {
  static const int slot = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
  return slot;
}
int PeerSlot() {
  static const int slot = SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
  return slot;
}
}  // namespace

TQorTlsVerdict JudgeServerCertificate(bool chainAndHostVerified, const std::string& presented,
                                      const std::string& pinned) {
  if (chainAndHostVerified) return TQorTlsVerdict::TrustedByCa;
  if (pinned.empty()) return TQorTlsVerdict::FirstUse;
  return presented == pinned ? TQorTlsVerdict::Pinned : TQorTlsVerdict::Changed;
}

std::string DescribeTlsRefusal(const TQorTlsRefusal& r) {
  const std::string address = r.Host + ":" + std::to_string(r.Port);
  return "the certificate of the server at " + address +
         " has changed, so the connection was refused (someone may be intercepting it).\n"
         "  pinned fingerprint:    " + r.Pinned + "\n" +
         "  presented fingerprint: " + r.Presented + "\n" +
         "If the server's administrator confirms the new fingerprint (solvane-server admin "
         "--data DIR tls show), accept it with: solvane-cli trust " + address;
}

TQorTlsClientContext::TQorTlsClientContext() : m_context(asio::ssl::context::tls_client) {
  SSL_CTX* ctx = m_context.native_handle();
  SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
  SSL_CTX_set_options(ctx, SSL_OP_NO_COMPRESSION | SSL_OP_NO_RENEGOTIATION);
  asio::error_code ignored;  // without system CAs only pinning can trust a server
  m_context.set_default_verify_paths(ignored);
  // The chain is judged after the handshake (InspectPeer): a self-signed
  // certificate may still be the pinned one.
  m_context.set_verify_mode(asio::ssl::verify_none);
  SSL_CTX_set_session_cache_mode(ctx, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
  SSL_CTX_set_ex_data(ctx, ContextSlot(), this);
  SSL_CTX_sess_set_new_cb(ctx, &TQorTlsClientContext::OnNewSession);
}

TQorTlsClientContext::~TQorTlsClientContext() { Forget(); }

void TQorTlsClientContext::Prepare(asio::ssl::stream<asio::ip::tcp::socket&>& stream,
                                   const std::string& host, std::uint16_t port,
                                   std::string& peerKey) {
  SSL* ssl = stream.native_handle();
  asio::error_code error;
  asio::ip::make_address(host, error);
  if (error) {
    SSL_set_tlsext_host_name(ssl, host.c_str());
    SSL_set1_host(ssl, host.c_str());
  } else {
    X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), host.c_str());
  }
  peerKey = host + ":" + std::to_string(port);
  SSL_set_ex_data(ssl, PeerSlot(), &peerKey);
  std::lock_guard lock(m_mutex);
  if (m_session && m_sessionPeer == peerKey) SSL_set_session(ssl, m_session);
}

// Called by OpenSSL when a server hands out a session (with TLS 1.3 after
// the handshake, on a later read): the newest one is kept for the next
// connection.
int TQorTlsClientContext::OnNewSession(SSL* ssl, SSL_SESSION* session) {
  auto* self = static_cast<TQorTlsClientContext*>(
      SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), ContextSlot()));
  const auto* peerKey = static_cast<const std::string*>(SSL_get_ex_data(ssl, PeerSlot()));
  if (!self || !peerKey || !SSL_SESSION_is_resumable(session)) return 0;
  self->Keep(session, *peerKey);
  return 1;  // the reference is ours now
}

void TQorTlsClientContext::Keep(SSL_SESSION* session, const std::string& peerKey) {
  std::lock_guard lock(m_mutex);
  if (m_session) SSL_SESSION_free(m_session);
  m_session = session;
  m_sessionPeer = peerKey;
}

void TQorTlsClientContext::Forget() {
  std::lock_guard lock(m_mutex);
  if (m_session) SSL_SESSION_free(m_session);
  m_session = nullptr;
  m_sessionPeer.clear();
}

TQorTlsPeer InspectPeer(asio::ssl::stream<asio::ip::tcp::socket&>& stream) {
  SSL* ssl = stream.native_handle();
  TQorTlsPeer peer;
  X509* certificate = SSL_get0_peer_certificate(ssl);
  if (!certificate) return peer;
  peer.Fingerprint = CertificateFingerprint(certificate);
  peer.ChainAndHostVerified = SSL_get_verify_result(ssl) == X509_V_OK;
  return peer;
}

}  // namespace solvane
