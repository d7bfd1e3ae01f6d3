// How the server tells a new connection's kind from its first byte, and
// which peers count as this machine when TLS is required.
#include <gtest/gtest.h>

#include "net/ConnectionKind.h"

namespace solvane::server {
namespace {

TEST(ConnectionKind, FirstByteModeAndPeerDecide) {
  using K = TConnectionKind;
  struct TCase {
    TTlsMode mode;
    unsigned char first;
    bool loopback;
    K expected;
  };
  const TCase cases[] = {
      {TTlsMode::Optional, 0x16, false, K::Tls},
      {TTlsMode::Optional, 'B', false, K::Plain},
      {TTlsMode::Optional, '\r', false, K::Plain},  // a blank line before the header
      {TTlsMode::Required, 0x16, false, K::Tls},
      {TTlsMode::Required, 'B', false, K::PlainRefused},
      {TTlsMode::Required, 'B', true, K::Plain},
      {TTlsMode::Off, 0x16, true, K::Unknown},
      {TTlsMode::Off, 'B', false, K::Plain},
      {TTlsMode::Optional, 'G', false, K::Unknown},  // "GET /": not this protocol
      {TTlsMode::Required, 0x00, true, K::Unknown},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(ClassifyConnection(c.mode, c.first, c.loopback), c.expected)
        << TlsModeName(c.mode) << " first=" << int(c.first) << " loopback=" << c.loopback;
}

TEST(ConnectionKind, OnlyLoopbackAddressesAreThisMachine) {
  const std::pair<const char*, bool> cases[] = {
      {"127.0.0.1", true},       {"127.0.0.2", true},   {"::1", true},
      {"::ffff:127.0.0.1", true}, {"192.0.2.2", false},  {"10.1.2.3", false},
      {"::ffff:10.1.2.3", false}, {"fd00::2", false},    {"0.0.0.0", false},
  };
  for (const auto& [text, loopback] : cases)
    EXPECT_EQ(IsLoopback(asio::ip::make_address(text)), loopback) << text;
}

TEST(ConnectionKind, ModesParseByTheirNamesOnly) {
  EXPECT_EQ(ParseTlsMode("off"), TTlsMode::Off);
  EXPECT_EQ(ParseTlsMode("optional"), TTlsMode::Optional);
  EXPECT_EQ(ParseTlsMode("required"), TTlsMode::Required);
  EXPECT_FALSE(ParseTlsMode("on"));
  EXPECT_FALSE(ParseTlsMode("Required"));
  EXPECT_FALSE(ParseTlsMode(""));
}

}  // namespace
}  // namespace solvane::server
