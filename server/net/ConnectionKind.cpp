#include "net/ConnectionKind.h"

namespace solvane::server {

std::optional<TTlsMode> ParseTlsMode(std::string_view text) {
  if (text == "off") return TTlsMode::Off;
  if (text == "optional") return TTlsMode::Optional;
  if (text == "required") return TTlsMode::Required;
  return std::nullopt;
}

const char* TlsModeName(TTlsMode mode) {
  switch (mode) {
    case TTlsMode::Off:
      return "off";
    case TTlsMode::Optional:
      return "optional";
    case TTlsMode::Required:
      return "required";
  }
  return "?";
}

bool IsLoopback(const asio::ip::address& address) {
  if (address.is_v6()) {
    const auto v6 = address.to_v6();
    if (v6.is_v4_mapped())
      return asio::ip::make_address_v4(asio::ip::v4_mapped, v6).is_loopback();
    return v6.is_loopback();
  }
  return address.is_loopback();
}

TConnectionKind ClassifyConnection(TTlsMode mode, unsigned char firstByte, bool peerIsLoopback) {
  if (firstByte == kTlsHandshakeByte)
    return mode == TTlsMode::Off ? TConnectionKind::Unknown : TConnectionKind::Tls;
  // Header lines may be preceded by blank lines; a plain client always
  // starts with its header line, so anything else is not the protocol.
  if (firstByte != kPlainHeaderByte && firstByte != 'b' && firstByte != '\r' && firstByte != '\n')
    return TConnectionKind::Unknown;
  if (mode == TTlsMode::Required && !peerIsLoopback) return TConnectionKind::PlainRefused;
  return TConnectionKind::Plain;
}

}  // namespace solvane::server
