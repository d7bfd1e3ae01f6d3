// solvane-server --data DIR [--listen HOST:PORT] [--verify-every HOURS]
// solvane-server admin --data DIR <command> ...

#include <cstdlib>
#include <cstring>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <iostream>
#include <sstream>
#include <memory>
#include <string>
#include <vector>

#include "admin/AdminCli.h"
#include "net/TServer.h"
#include "net/TlsIdentity.h"
#include "protocol/Dispatcher.h"
#include "storage/DataDirectory.h"
#include "storage/VerifySchedule.h"

using namespace solvane::server;

namespace {

int Usage(std::ostream& os, int code) {
  os << "usage: solvane-server --data DIR [--listen HOST:PORT] [--idle-timeout SECONDS]\n"
        "                     [--tls off|optional|required] [--tls-cert FILE --tls-key FILE]\n"
        "                     [--verify-every HOURS]\n"
        "       solvane-server admin --data DIR <command> (see: solvane-server admin --help)\n";
  return code;
}

bool ParseListen(const std::string& text, TServerConfig& cfg) {
  auto colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0) return false;
  auto port = ParseWholeNumber(text.substr(colon + 1));
  if (!port || *port > 65535) return false;
  cfg.host = text.substr(0, colon);
  if (cfg.host.size() > 2 && cfg.host.front() == '[' && cfg.host.back() == ']')
    cfg.host = cfg.host.substr(1, cfg.host.size() - 2);
  cfg.port = static_cast<std::uint16_t>(*port);
  return true;
}

int RunAdmin(int argc, char** argv) {
  TAdminRegistry registry;
  RegisterAdminUserCommands(registry);
  RegisterAdminProfileCommands(registry);
  RegisterAdminPolicyCommands(registry);
  RegisterAdminTaskCommands(registry);
  RegisterAdminShareCommands(registry);
  RegisterAdminAuthCommands(registry);
  RegisterAdminTlsCommands(registry);
  RegisterAdminVerifyCommands(registry);
  return registry.Run(std::vector<std::string>(argv + 2, argv + argc), std::cout, std::cerr);
}

// Request and reply buffers of a megabyte and more are mapped and unmapped
// on their own, so memory freed after a large request goes back to the
// system instead of staying in the free lists of one worker thread's arena
// (glibc would otherwise raise this threshold after the first such buffer).
// Smaller ones, segments among them, are kept for reuse: up to a few MiB
// free at the top of each of a few arenas. Giving each freed segment back
// at once made every next one fault its pages in again, which cost more
// CPU than sending the segment.
void ReturnLargeBuffersToTheSystem() {
#if defined(__GLIBC__)
  mallopt(M_MMAP_THRESHOLD, 1 << 20);
  mallopt(M_TRIM_THRESHOLD, 4 << 20);
  mallopt(M_ARENA_MAX, 4);
#endif
}

// A positive number of hours, fractions allowed; nullopt otherwise.
std::optional<std::chrono::milliseconds> ParseHours(const std::string& text) {
  char* end = nullptr;
  const double hours = std::strtod(text.c_str(), &end);
  if (text.empty() || end != text.c_str() + text.size() || !(hours > 0) || hours > 24 * 365)
    return std::nullopt;
  return std::chrono::milliseconds(static_cast<std::int64_t>(hours * 3600 * 1000));
}

int RunServer(int argc, char** argv) {
  ReturnLargeBuffersToTheSystem();
  TServerConfig cfg;
  std::optional<std::chrono::milliseconds> verifyEvery;
  std::string verifyHours;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    bool hasValue = i + 1 < argc;
    if (a == "--help" || a == "-h") return Usage(std::cout, 0);
    if (a == "--data" && hasValue) {
      cfg.dataDir = argv[++i];
    } else if (a == "--listen" && hasValue) {
      if (!ParseListen(argv[++i], cfg)) {
        std::cerr << "error: --listen takes HOST:PORT\n";
        return 2;
      }
    } else if (a == "--idle-timeout" && hasValue) {
      auto s = ParseWholeNumber(argv[++i]);
      if (!s || *s == 0) {
        std::cerr << "error: --idle-timeout takes a number of seconds\n";
        return 2;
      }
      cfg.idleTimeout = std::chrono::seconds(*s);
    } else if (a == "--tls" && hasValue) {
      auto mode = ParseTlsMode(argv[++i]);
      if (!mode) {
        std::cerr << "error: --tls takes off, optional or required\n";
        return 2;
      }
      cfg.tlsMode = *mode;
    } else if (a == "--tls-cert" && hasValue) {
      cfg.tlsCertificate = argv[++i];
    } else if (a == "--tls-key" && hasValue) {
      cfg.tlsKey = argv[++i];
    } else if (a == "--verify-every" && hasValue) {
      verifyHours = argv[++i];
      verifyEvery = ParseHours(verifyHours);
      if (!verifyEvery) {
        std::cerr << "error: --verify-every takes a number of hours\n";
        return 2;
      }
    } else {
      std::cerr << "error: unexpected argument '" << a << "'\n";
      return Usage(std::cerr, 2);
    }
  }
  if (cfg.dataDir.empty()) {
    std::cerr << "error: --data DIR is required\n";
    return Usage(std::cerr, 2);
  }
  try {
    TDataDirectory dir(cfg.dataDir);
    auto initialPassword = dir.EnsureAdministrator();
    dir.Staging().Sweep(std::chrono::hours(24 * 30));
    TSessionStore sessions(dir.Db());
    TLoginThrottle throttle;
    TServices services{dir.Db(), dir.Blobs(), dir.Staging(), sessions, throttle, cfg};
    TDispatcher dispatcher;
    RegisterAllOperations(dispatcher);
    std::ostringstream tlsNote;  // said after the listening line, which starts the output
    TServer server(cfg, services, dispatcher, PrepareServerTls(cfg, tlsNote));
    std::string bound = server.Listen();
    std::cout << "listening on " << bound << std::endl << tlsNote.str() << std::flush;
    std::unique_ptr<TVerifySchedule> verify;
    if (verifyEvery) {
      std::cerr << "verifying the store every " << verifyHours << " hours" << std::endl;
      verify = std::make_unique<TVerifySchedule>(
          dir.Db(), dir.Blobs(), *verifyEvery,
          [](const std::string& lines) { std::cerr << lines << std::flush; });
    }
    if (initialPassword)
      std::cout << "created administrator 'admin' with initial password: " << *initialPassword
                << std::endl;
    server.Run();
    std::cout << "stopped" << std::endl;
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "error: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "admin") == 0) return RunAdmin(argc, argv);
  return RunServer(argc, argv);
}
