#pragma once
// `solvane-server admin --data DIR <group> <verb> [args] [--option value]`.
// Each group (user, policy, task, ...) registers its verbs here.

#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace solvane::server {

class Database;
class TDataDirectory;

// Parsed words: positionals in order, options by name (without "--"). An
// option takes the next word as its value unless that word is another
// option or there is none; then its value is empty (a switch). An option
// given several times keeps its last value in `options` and every value, in
// order, in `repeated`.
struct TAdminArgs {
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;
  std::map<std::string, std::vector<std::string>> repeated;

  bool Has(const std::string& o) const { return options.count(o) > 0; }
  std::string Get(const std::string& o, const std::string& def = {}) const;
  // Every value of an option that may be repeated (--include A --include B).
  std::vector<std::string> GetAll(const std::string& o) const;
};

struct TAdminContext {
  Database& db;
  std::ostream& out;
  std::ostream& err;
  TDataDirectory* dir = nullptr;  // for commands that remove stored files
};

struct TAdminCommand {
  std::string group;
  std::string verb;  // empty for a one-word command ("verify")
  std::string usage;        // e.g. "user add CODE --name NAME --password PW [--admin]"
  std::string description;  // one line
  int minPositional = 0;
  int maxPositional = 0;
  std::set<std::string> allowedOptions;
  // Returns the process exit code; writes a clear message to err on failure.
  std::function<int(TAdminContext&, const TAdminArgs&)> run;
};

class TAdminRegistry {
 public:
  void Add(TAdminCommand c);
  // args: the words after "admin". Exit code 0 on success, 2 on usage errors,
  // 1 when the command itself failed.
  int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

 private:
  void PrintHelp(std::ostream& os, const std::string& group) const;
  std::vector<TAdminCommand> m_commands;
};

void RegisterAdminUserCommands(TAdminRegistry& r);
void RegisterAdminProfileCommands(TAdminRegistry& r);
void RegisterAdminPolicyCommands(TAdminRegistry& r);
void RegisterAdminTaskCommands(TAdminRegistry& r);
void RegisterAdminShareCommands(TAdminRegistry& r);
void RegisterAdminAuthCommands(TAdminRegistry& r);
void RegisterAdminTlsCommands(TAdminRegistry& r);
void RegisterAdminVerifyCommands(TAdminRegistry& r);

// Shared parsing for options: "0"/"1" switches and whole numbers.
std::optional<bool> ParseSwitch(const std::string& text);
std::optional<long long> ParseWholeNumber(const std::string& text);

}  // namespace solvane::server
