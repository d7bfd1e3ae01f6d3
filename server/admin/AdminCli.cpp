#include "admin/AdminCli.h"

#include <charconv>
#include <exception>

#include "admin/DataOwner.h"
#include "storage/DataDirectory.h"
#include "storage/Database.h"

namespace solvane::server {

std::string TAdminArgs::Get(const std::string& o, const std::string& def) const {
  auto it = options.find(o);
  return it == options.end() ? def : it->second;
}

std::vector<std::string> TAdminArgs::GetAll(const std::string& o) const {
  auto it = repeated.find(o);
  return it == repeated.end() ? std::vector<std::string>{} : it->second;
}

std::optional<bool> ParseSwitch(const std::string& text) {
  if (text == "1") return true;
  if (text == "0") return false;
  return std::nullopt;
}

std::optional<long long> ParseWholeNumber(const std::string& text) {
  long long v = 0;
  auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || p != text.data() + text.size() || text.empty() || v < 0)
    return std::nullopt;
  return v;
}

void TAdminRegistry::Add(TAdminCommand c) { m_commands.push_back(std::move(c)); }

void TAdminRegistry::PrintHelp(std::ostream& os, const std::string& group) const {
  os << "usage: solvane-server admin --data DIR <command>\n\ncommands:\n";
  for (const auto& c : m_commands)
    if (group.empty() || c.group == group)
      os << "  " << c.usage << "\n      " << c.description << "\n";
}

int TAdminRegistry::Run(const std::vector<std::string>& words, std::ostream& out,
                        std::ostream& err) {
  std::string dataDir;
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (words[i] == "--data" && i + 1 < words.size()) {
      dataDir = words[++i];
    } else {
      rest.push_back(words[i]);
    }
  }
  bool wantsHelp = rest.empty() || rest[0] == "--help" || rest[0] == "help" ||
                   (rest.size() >= 2 && rest[1] == "--help") ||
                   (rest.size() >= 3 && rest[2] == "--help");
  if (wantsHelp) {
    PrintHelp(out, rest.empty() || rest[0].rfind("--", 0) == 0 || rest[0] == "help" ? ""
                                                                                      : rest[0]);
    return 0;
  }
  const TAdminCommand* cmd = nullptr;
  std::size_t firstArg = 2;
  for (const auto& c : m_commands)
    if (c.group == rest[0] && c.verb.empty()) cmd = &c, firstArg = 1;
  if (!cmd && rest.size() < 2) {
    err << "error: name a command, e.g. 'user list'\n";
    PrintHelp(err, rest[0]);
    return 2;
  }
  for (const auto& c : m_commands)
    if (!cmd && c.group == rest[0] && c.verb == rest[1]) cmd = &c;
  if (!cmd) {
    err << "error: unknown command '" << rest[0] << " " << rest[1] << "'\n";
    PrintHelp(err, "");
    return 2;
  }
  TAdminArgs args;
  for (std::size_t i = firstArg; i < rest.size(); ++i) {
    const std::string& w = rest[i];
    if (w.rfind("--", 0) == 0 && w.size() > 2) {
      std::string name = w.substr(2);
      if (!cmd->allowedOptions.count(name)) {
        err << "error: unknown option --" << name << "\nusage: " << cmd->usage << "\n";
        return 2;
      }
      std::string value;
      if (i + 1 < rest.size() && rest[i + 1].rfind("--", 0) != 0) value = rest[++i];
      args.options[name] = value;
      args.repeated[name].push_back(value);
    } else {
      args.positional.push_back(w);
    }
  }
  const int n = static_cast<int>(args.positional.size());
  if (n < cmd->minPositional || n > cmd->maxPositional) {
    err << "error: wrong number of arguments\nusage: " << cmd->usage << "\n";
    return 2;
  }
  if (dataDir.empty()) {
    err << "error: --data DIR is required\n";
    return 2;
  }
  try {
    ActAsOwnerOf(dataDir);
    TDataDirectory dir(dataDir);
    if (auto pwd = dir.EnsureAdministrator())
      err << "created administrator 'admin' with initial password: " << *pwd << "\n";
    TAdminContext ctx{dir.Db(), out, err, &dir};
    return cmd->run(ctx, args);
  } catch (const std::exception& e) {
    err << "error: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace solvane::server
