#pragma once
// The client's side of encrypted connections: one TLS context per pool
// (TLS 1.2 and later, the system's CAs, resumption of the last session so the
// pool's further connections connect fast) and the judgement of the
// certificate a server presents.
//
// A certificate that chains to a CA the system trusts and names the host is
// trusted. Any other is trusted when its SHA-256 fingerprint is the one
// pinned for the server's address, or, with nothing pinned yet, on first use;
// the caller pins it after the first successful sign-in. A fingerprint that
// differs from the pinned one is refused, never taken silently.

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include <asio/ip/tcp.hpp>
#include <asio/ssl/context.hpp>
#include <asio/ssl/stream.hpp>

typedef struct ssl_session_st SSL_SESSION;

namespace solvane {

enum class TQorTlsVerdict {
  TrustedByCa,  // chains to a system CA and matches the host name
  Pinned,       // the fingerprint pinned for this server
  FirstUse,     // nothing pinned yet: pinned after the first sign-in
  Changed,      // differs from the pinned fingerprint: refused
};

TQorTlsVerdict JudgeServerCertificate(bool chainAndHostVerified, const std::string& presented,
                                      const std::string& pinned);

// Why an encrypted connection was refused: the fingerprints, to be shown.
struct TQorTlsRefusal {
  std::string Host;
  std::uint16_t Port = 0;
  std::string Pinned;
  std::string Presented;
};
// The message for a refused certificate: both fingerprints and how to accept
// the new one when it is known to be right.
std::string DescribeTlsRefusal(const TQorTlsRefusal& refusal);

class TQorTlsClientContext {
 public:
  TQorTlsClientContext();
  ~TQorTlsClientContext();
  asio::ssl::context& Context() { return m_context; }

  // Prepares a new stream for host: SNI and the name (or address) its
  // certificate must carry, and the last session for host:port when there
  // is one. peerKey receives "host:port" and must live as long as the
  // stream: sessions the server hands out later are kept under it.
  void Prepare(asio::ssl::stream<asio::ip::tcp::socket&>& stream, const std::string& host,
               std::uint16_t port, std::string& peerKey);
  // Forgets the kept session (a refused certificate must be seen again).
  void Forget();

 private:
  static int OnNewSession(struct ssl_st* ssl, SSL_SESSION* session);
  void Keep(SSL_SESSION* session, const std::string& peerKey);

  asio::ssl::context m_context;
  std::mutex m_mutex;
  std::string m_sessionPeer;
  SSL_SESSION* m_session = nullptr;
};

// The result of a handshake: the fingerprint the server presented and
// whether its chain and host name verified against the system's CAs.
struct TQorTlsPeer {
  std::string Fingerprint;
  bool ChainAndHostVerified = false;
};
TQorTlsPeer InspectPeer(asio::ssl::stream<asio::ip::tcp::socket&>& stream);

}  // namespace solvane
