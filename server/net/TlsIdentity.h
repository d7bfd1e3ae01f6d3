#pragma once
// The server's certificate and key, and the TLS context built from them.
// Without files named by the administrator, a key and a self-signed
// certificate are created in the data directory on the first start (both
// readable by the server's user only) and kept from then on, so the
// fingerprint clients pin stays the same across restarts.

#include <filesystem>
#include <memory>
#include <ostream>
#include <string>

#include <asio/ssl/context.hpp>

namespace solvane::server {

struct TServerConfig;

struct TTlsFiles {
  std::filesystem::path certificate;
  std::filesystem::path key;
};

// The files the server uses when none are named: DIR/tls/server.crt and
// DIR/tls/server.key.
TTlsFiles DefaultTlsFiles(const std::filesystem::path& dataDir);

// Creates a P-256 key and a self-signed certificate for ten years (common
// name: this host's name) unless both files exist. The folder is 0700, the
// files 0600. Returns true when they were created. Throws on failure.
bool EnsureSelfSignedIdentity(const TTlsFiles& files);

// A server context: TLS 1.2 and later, the given certificate chain and key
// (checked to belong together), session resumption for returning clients.
// Throws with the file named when a file cannot be used.
std::unique_ptr<asio::ssl::context> MakeServerTlsContext(const TTlsFiles& files);

// What the server starts with: null when TLS is off; otherwise the named
// files (both or neither must be given), or the data directory's own,
// created when missing. Says on log which certificate and fingerprint it
// serves. Throws with a clear message when a file cannot be used.
std::unique_ptr<asio::ssl::context> PrepareServerTls(const TServerConfig& config,
                                                     std::ostream& log);

}  // namespace solvane::server
