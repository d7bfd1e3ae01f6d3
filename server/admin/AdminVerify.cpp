// `admin verify [--sample PERCENT] [--repair]`: checks the stored blobs
// against the database (see storage/StoreVerifier.h). Exit status 1 when
// anything is damaged, missing or left unused; progress on standard error.

#include <chrono>
#include <cstdlib>

#include "admin/AdminCli.h"
#include "storage/DataDirectory.h"
#include "storage/StoreVerifier.h"

namespace solvane::server {

namespace {

std::optional<double> ParsePercent(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size() || !(v > 0) || v > 100) return std::nullopt;
  return v;
}

// A progress line at most every two seconds, so a short run prints none.
auto ProgressPrinter(std::ostream& err) {
  auto last = std::chrono::steady_clock::now();
  return [&err, last](std::uint64_t blobsDone, std::uint64_t blobsTotal, std::uint64_t bytesDone,
                      std::uint64_t bytesTotal) mutable {
    const auto now = std::chrono::steady_clock::now();
    if (now - last < std::chrono::seconds(2)) return;
    last = now;
    const auto percent = bytesTotal ? bytesDone * 100 / bytesTotal : 100;
    err << "verify: " << blobsDone << "/" << blobsTotal << " blobs re-hashed, " << percent
        << "% of " << bytesTotal / (1024 * 1024) << " MiB" << std::endl;
  };
}

int Verify(TAdminContext& ctx, const TAdminArgs& a) {
  TVerifyOptions options;
  if (a.Has("sample")) {
    auto percent = ParsePercent(a.Get("sample"));
    if (!percent) {
      ctx.err << "error: --sample takes a share of the blobs in percent (above 0, at most 100)\n";
      return 2;
    }
    options.samplePercent = *percent;
  }
  options.repair = a.Has("repair");
  options.progress = ProgressPrinter(ctx.err);
  const TVerifyReport report = VerifyStore(ctx.db, ctx.dir->Blobs(), options);
  WriteVerifyReport(report, ctx.out);
  return report.Damaged() ? 1 : 0;
}

}  // namespace

void RegisterAdminVerifyCommands(TAdminRegistry& r) {
  r.Add({"verify",
         "",
         "verify [--sample PERCENT] [--repair]",
         "re-hash the stored blobs (all, or a random share), check every version's blob and "
         "the database; --repair moves unused blob files into quarantine/. Exit 1 on damage",
         0,
         0,
         {"sample", "repair"},
         Verify});
}

}  // namespace solvane::server
