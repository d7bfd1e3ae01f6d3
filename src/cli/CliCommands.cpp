#include "cli/CliCommands.h"

#include <csignal>
#include <cstdlib>
#include <iostream>

#include "api/ApiCall.h"
#include "cli/CliCommandTable.h"
#include "cli/CliTaskWait.h"
#include "client/Unit_Login.h"
#include "client/Unit_PublicInfo.h"
#include "wire/QorWithTlsClient.h"
#include "platform/AutoRun.h"
#include "platform/FileFacts.h"
#include "platform/NetworkInfo.h"
#include "qtbridge/QSettingsRegistry.h"

namespace solvane::cli {

namespace {

class TStderrNotes : public INoteSink {
 public:
  void ShowNote(const std::string& text, TNoteKind kind) override {
    static const char* prefix[] = {"note: ", "warning: ", "error: "};
    std::string oneLine = text;
    for (char& c : oneLine)
      if (c == '\r' || c == '\n') c = ' ';
    std::cerr << prefix[kind] << oneLine << "\n";
  }
};

// The command line's server, user and password over the saved settings.
void ApplyOptions(TPublicInfo& info, const TCliOptions& o) {
  TSettings s = info.Settings();
  if (o.host) s.Host = *o.host;
  if (o.port) s.Port = *o.port;
  if (o.user) s.UserCode = *o.user;
  if (o.password)
    s.UserPwd = *o.password;
  else if (const char* env = std::getenv("SOLVANE_PASSWORD"))
    s.UserPwd = env;
  if (o.fast) s.Pacing = TPacing::Fast;
  if (o.plain) s.UseTls = false;
  info.SetSettings(s);
}

// A sign-in that failed, said as it happened: the server was not reached,
// or it refused the user code or password (with its reason).
int SignInFailed(TPublicInfo& info, const TSettings& s, const api::TApiStatus& status) {
  const std::string server = s.Host + ":" + std::to_string(s.Port);
  if (const auto refusal = CertificateRefusal(info)) {
    std::cerr << "error: " << DescribeTlsRefusal(*refusal) << "\n";
    return kExitRefused;
  }
  if (status.failure == api::TApiFailure::Refused) {
    std::cerr << "error: the server at " << server << " refused the sign-in of " << s.UserCode
              << ": " << (status.message.empty() ? "wrong user code or password" : status.message)
              << "\n";
    return kExitRefused;
  }
  if (status.failure == api::TApiFailure::BadReply) {
    std::cerr << "error: the server at " << server << " gave an unreadable answer to the sign-in\n";
    return kExitFailed;
  }
  std::cerr << "error: the server at " << server
            << (status.failure == api::TApiFailure::NoReply ? " did not answer the sign-in"
                                                            : " cannot be reached")
            << "\n";
  return kExitUnreachable;
}

}  // namespace

int RunCli(const TCliOptions& o) {
  std::signal(SIGINT, [](int) { g_interrupted = true; });
  std::signal(SIGTERM, [](int) { g_interrupted = true; });

  TQSettingsRegistry registry;
  TXdgAutoRun autoRun;
  TPosixNetworkInfo network;
  TStderrNotes notes;
  TPublicInfo info({registry, autoRun, network, notes, PlatformFileFacts().ProgramFilePath(), {}});
  ApplyOptions(info, o);

  const TCliCommand* command = FindCliCommand(o.command);
  if (!command) {
    std::cerr << "error: unknown command '" << o.command << "'\n";
    return kExitUsage;
  }
  if (command->offline && command->offline(o)) return command->run(info, o);
  const TSettings s = info.Settings();
  if (s.Host.empty()) {
    std::cerr << "error: no server is set; give --server HOST:PORT\n";
    return kExitUsage;
  }
  if (s.UserCode.empty()) {
    std::cerr << "error: no user is set; give --user CODE\n";
    return kExitUsage;
  }
  if (o.host) info.SaveServerSettings();
  if (const api::TApiStatus signedIn = SignIn(info); !signedIn) return SignInFailed(info, s, signedIn);
  const int rc = command->run(info, o);
  Logout(info);
  return rc;
}

}  // namespace solvane::cli
