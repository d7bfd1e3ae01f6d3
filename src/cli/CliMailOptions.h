#pragma once
// The options of the solvane-cli mail commands, held in TCliOptions.

#include <optional>
#include <string>
#include <vector>

namespace solvane::cli {

struct TMailCliOptions {
  std::optional<std::string> kind;    // "foxmail", "oe", "outlook" as typed
  std::optional<std::string> store;   // a store folder instead of the registry's
  std::vector<std::string> messages;  // "FOLDERID:MESSAGEID", one per --message
};

// Reads the mail option at argv[i] (and its value, moving i on). handled is
// false for an option that is not a mail option; false is returned with a
// clear message in error when the option lacks its value.
bool ParseMailOption(const std::vector<std::string>& argv, std::size_t& i, TMailCliOptions& mail,
                     bool& handled, std::string& error);

}  // namespace solvane::cli
