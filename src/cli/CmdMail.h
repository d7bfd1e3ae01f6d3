#pragma once
// solvane-cli mail list|backup|restore: the mail of a local mail client
// (Foxmail, Outlook Express, Outlook) backed up to and restored from the
// server's mail store.

#include <string>

#include "cli/CliOptions.h"

namespace solvane {
class TPublicInfo;
}

namespace solvane::cli {

// Checks the mail command's subcommand, kind and arguments; false with a
// clear message in error when they do not fit.
bool CheckMailArgs(const TCliOptions& options, std::string& error);

// "mail list" reads only the local store: it runs without signing in.
bool IsOfflineMailCommand(const TCliOptions& options);

// Runs "mail list", "mail backup" or "mail restore". Exit status as RunCli.
int RunMailCommand(TPublicInfo& info, const TCliOptions& options);

std::string MailUsage();

}  // namespace solvane::cli
