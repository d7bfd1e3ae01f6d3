// The client's judgement of a server certificate and the refusal it shows.
#include <gtest/gtest.h>

#include "wire/QorWithTlsClient.h"

namespace solvane {
namespace {

TEST(TlsVerdict, CaTrustThenPinThenFirstUse) {
  using V = TQorTlsVerdict;
  struct TCase {
    bool caVerified;
    const char* presented;
    const char* pinned;
    V expected;
  };
  const TCase cases[] = {
      {true, "AA", "", V::TrustedByCa},
      {true, "AA", "BB", V::TrustedByCa},  // a CA-issued replacement needs no pin
      {false, "AA", "AA", V::Pinned},
      {false, "AA", "", V::FirstUse},
      {false, "AA", "BB", V::Changed},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(JudgeServerCertificate(c.caVerified, c.presented, c.pinned), c.expected)
        << c.presented << " pinned " << c.pinned;
}

TEST(TlsVerdict, RefusalNamesBothFingerprintsAndTheWayToAcceptTheNewOne) {
  const std::string text = DescribeTlsRefusal({"backup.office", 8090, "11:22", "33:44"});
  EXPECT_NE(text.find("11:22"), std::string::npos);
  EXPECT_NE(text.find("33:44"), std::string::npos);
  EXPECT_NE(text.find("solvane-cli trust backup.office:8090"), std::string::npos);
}

}  // namespace
}  // namespace solvane
