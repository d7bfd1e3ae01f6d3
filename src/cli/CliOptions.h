#pragma once
// The command line of solvane-cli, parsed without side effects.

#include <optional>
#include <string>
#include <vector>

#include "cli/CliMailOptions.h"

namespace solvane::cli {

struct TCliOptions {
  std::optional<std::string> host;
  std::optional<int> port;
  std::optional<std::string> user;
  std::optional<std::string> password;
  bool fast = false;
  bool plain = false;  // unencrypted connection (for servers with TLS off)
  std::string command;
  // Command options.
  int kind = 100;
  std::optional<std::string> to;
  bool flat = false;
  bool overwrite = false;
  std::optional<std::string> sharePassword;
  TMailCliOptions mail;
  std::vector<std::string> args;
};

// Parses argv (without the program name). On error returns nullopt and sets
// error to a clear message.
std::optional<TCliOptions> ParseCliOptions(const std::vector<std::string>& argv,
                                           std::string& error);

std::string CliUsage();

}  // namespace solvane::cli
