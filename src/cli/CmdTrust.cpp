// trust HOST:PORT: pins the certificate the server presents now, after its
// fingerprint changed (a new key, a new certificate from the office's CA).
// The fingerprint is printed so it can be compared with what the server's
// administrator sees (`solvane-server admin tls show`).

#include <iostream>

#include "cli/CliCommandTable.h"
#include "client/Unit_Login.h"
#include "client/Unit_PublicInfo.h"

namespace solvane::cli {

int RunTrust(TPublicInfo& info, const TCliOptions&) {
  const TSettings s = info.Settings();
  const std::string server = s.Host + ":" + std::to_string(s.Port);
  const TServerCertificate found = TrustServerCertificate(info);
  if (!found.Reached) {
    std::cerr << "error: no encrypted connection to the server at " << server << "\n";
    return kExitUnreachable;
  }
  if (found.TrustedByCa) {
    std::cout << "the certificate of " << server
              << " is vouched for by a certificate authority this system trusts; nothing to pin\n";
    return kExitOk;
  }
  if (!found.Previous.empty() && found.Previous != found.Fingerprint)
    std::cout << "replaced the pinned fingerprint " << found.Previous << "\n";
  std::cout << "trusted " << server << " with SHA-256 fingerprint " << found.Fingerprint << "\n";
  return kExitOk;
}

}  // namespace solvane::cli
