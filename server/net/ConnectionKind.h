#pragma once
// What a new connection is, decided from its first byte and the TLS mode:
// one port serves both encrypted and plain clients.

#include <optional>
#include <string_view>

#include <asio/ip/address.hpp>

namespace solvane::server {

enum class TTlsMode { Off, Optional, Required };

std::optional<TTlsMode> ParseTlsMode(std::string_view text);  // "off", "optional", "required"
const char* TlsModeName(TTlsMode mode);

// A TLS record of type handshake starts every TLS connection.
inline constexpr unsigned char kTlsHandshakeByte = 0x16;
// Every request of the plain protocol starts with its header line, "B...".
inline constexpr unsigned char kPlainHeaderByte = 'B';

enum class TConnectionKind {
  Tls,
  Plain,
  PlainRefused,  // plain from a remote peer while TLS is required: answered, then closed
  Unknown,       // neither, or TLS while it is off: closed at once
};

// 127.0.0.0/8, ::1 and IPv4-mapped loopback addresses.
bool IsLoopback(const asio::ip::address& address);

TConnectionKind ClassifyConnection(TTlsMode mode, unsigned char firstByte, bool peerIsLoopback);

}  // namespace solvane::server
