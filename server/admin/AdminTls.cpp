// `admin tls show`: the certificate clients are shown when they connect, and
// its SHA-256 fingerprint, which an administrator hands out so users can
// check what their client pinned.

#include "admin/AdminCli.h"
#include "net/TlsIdentity.h"
#include "storage/DataDirectory.h"
#include "wire/QorWithTlsFingerprint.h"

namespace solvane::server {

namespace {

int Show(TAdminContext& ctx, const TAdminArgs& a) {
  const std::filesystem::path certificate =
      a.Has("cert") ? std::filesystem::path(a.Get("cert"))
                    : DefaultTlsFiles(ctx.dir->Path()).certificate;
  const auto fingerprint = PemFileFingerprint(certificate.string());
  if (!fingerprint) {
    ctx.err << "error: no readable certificate at " << certificate.string()
            << (a.Has("cert") ? "\n"
                              : " (the server creates it on its first start with TLS on)\n");
    return 1;
  }
  ctx.out << "certificate: " << certificate.string() << "\n"
          << "SHA-256 fingerprint: " << *fingerprint << "\n";
  return 0;
}

}  // namespace

void RegisterAdminTlsCommands(TAdminRegistry& r) {
  r.Add({"tls", "show", "tls show [--cert FILE]",
         "the server certificate's SHA-256 fingerprint (the data directory's own, or FILE)", 0,
         0, {"cert"}, Show});
}

}  // namespace solvane::server
