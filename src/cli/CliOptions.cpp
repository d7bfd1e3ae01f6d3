#include "cli/CliOptions.h"

#include <charconv>

#include "cli/CliCommandTable.h"
#include "cli/CmdMail.h"
#include "cli/CmdShare.h"

namespace solvane::cli {

namespace {

bool ToInt(const std::string& s, int& out) {
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc() && p == s.data() + s.size();
}

bool ParseServer(const std::string& text, TCliOptions& o) {
  auto colon = text.rfind(':');
  if (colon == std::string::npos) {
    o.host = text;
    return !text.empty();
  }
  int port = 0;
  if (colon == 0 || !ToInt(text.substr(colon + 1), port) || port < 1 || port > 65535)
    return false;
  o.host = text.substr(0, colon);
  o.port = port;
  return true;
}

}  // namespace

std::string CliUsage() {
  std::string usage =
      "usage: solvane-cli [--server HOST:PORT] [--user CODE] [--password PW] [--fast] [--plain]\n"
      "                   COMMAND\n"
      "  The password may also come from the environment variable SOLVANE_PASSWORD;\n"
      "  connections are encrypted (TLS) unless --plain is given;\n"
      "  without options the saved settings of the desktop client are used.\n"
      "commands:\n";
  for (const TCliCommand& c : CliCommandTable()) usage += c.usage;
  usage +=
      "exit status:\n"
      "  0 done; 1 some files failed, or the command failed; 2 a usage error, or an\n"
      "  unknown task, folder or file; 3 the server cannot be reached or does not\n"
      "  answer; 4 the server refused the sign-in (wrong user code or password)\n";
  return usage;
}

std::optional<TCliOptions> ParseCliOptions(const std::vector<std::string>& argv,
                                           std::string& error) {
  TCliOptions o;
  for (std::size_t i = 0; i < argv.size(); ++i) {
    const std::string& a = argv[i];
    auto value = [&](const char* name) -> std::optional<std::string> {
      if (i + 1 >= argv.size()) {
        error = std::string(name) + " needs a value";
        return std::nullopt;
      }
      return argv[++i];
    };
    if (o.command == "mail") {
      bool handled = false;
      if (!ParseMailOption(argv, i, o.mail, handled, error)) return std::nullopt;
      if (handled) continue;
    }
    if (a == "--server") {
      auto v = value("--server");
      if (!v) return std::nullopt;
      if (!ParseServer(*v, o)) {
        error = "--server takes HOST:PORT with a port from 1 to 65535";
        return std::nullopt;
      }
    } else if (a == "--user") {
      auto v = value("--user");
      if (!v) return std::nullopt;
      o.user = *v;
    } else if (a == "--password") {
      auto v = value("--password");
      if (!v) return std::nullopt;
      o.password = *v;
    } else if (a == "--share-password") {
      auto v = value("--share-password");
      if (!v) return std::nullopt;
      o.sharePassword = *v;
    } else if (a == "--fast") {
      o.fast = true;
    } else if (a == "--plain") {
      o.plain = true;
    } else if (a == "--kind") {
      auto v = value("--kind");
      if (!v) return std::nullopt;
      if (!ToInt(*v, o.kind) || (o.kind != 100 && o.kind != 200)) {
        error = "--kind takes 100 (backup store) or 200 (sync store)";
        return std::nullopt;
      }
    } else if (a == "--to") {
      auto v = value("--to");
      if (!v) return std::nullopt;
      o.to = *v;
    } else if (a == "--flat") {
      o.flat = true;
    } else if (a == "--overwrite") {
      o.overwrite = true;
    } else if (a == "--help" || a == "-h") {
      o.command = "help";
      return o;
    } else if (a.rfind("--", 0) == 0) {
      error = "unknown option " + a;
      return std::nullopt;
    } else if (o.command.empty()) {
      if (!FindCliCommand(a)) {
        error = "unknown command '" + a + "'";
        return std::nullopt;
      }
      o.command = a;
    } else {
      o.args.push_back(a);
    }
  }
  if (o.command.empty()) {
    error = "name a command";
    return std::nullopt;
  }
  const std::string& c = o.command;
  if ((c == "backup" || c == "restore") && o.args.empty()) {
    error = c + " needs at least one path";
    return std::nullopt;
  }
  if ((c == "sync" || c == "run") && o.args.size() != 1) {
    error = c + (c == "sync" ? " takes one folder" : " takes one task ID");
    return std::nullopt;
  }
  if ((c == "tasks" || c == "daemon") && !o.args.empty()) {
    error = c + " takes no arguments";
    return std::nullopt;
  }
  if (c == "ls" && o.args.size() > 1) {
    error = "ls takes at most one server path";
    return std::nullopt;
  }
  if (c == "trust" && (o.args.size() > 1 || (o.args.empty() && !o.host))) {
    error = "trust takes one HOST:PORT";
    return std::nullopt;
  }
  if (c == "trust" && o.args.size() == 1 && !ParseServer(o.args[0], o)) {
    error = "trust takes HOST:PORT with a port from 1 to 65535";
    return std::nullopt;
  }
  if (c == "share" && !CheckShareArgs(o.args, error)) return std::nullopt;
  if (c == "mail" && !CheckMailArgs(o, error)) return std::nullopt;
  if (o.flat && !o.to) {
    error = "--flat needs --to DIR";
    return std::nullopt;
  }
  return o;
}

}  // namespace solvane::cli
