#pragma once
// Runs the real solvane-server binary on 127.0.0.1 with an ephemeral port and
// a temporary data directory, and a small blocking client for its protocol.

#include <sys/types.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "wire/QorWithPack.h"

namespace solvane::testing {

class TServerProcess {
 public:
  // A fresh temporary data directory (removed by the destructor).
  TServerProcess();
  // The data directory "data" inside the given folder, which the destructor
  // removes (for a data directory on a chosen file system).
  explicit TServerProcess(const std::filesystem::path& folder);
  ~TServerProcess();

  // Starts the server and waits for its "listening on" line. Returns false
  // when it did not come up within 10 s.
  bool Start();
  // Further options for the next starts (e.g. {"--idle-timeout", "2"}).
  void SetExtraArgs(std::vector<std::string> args) { m_extraArgs = std::move(args); }
  // SIGTERM and wait; returns the exit status (-1 when killed).
  int Stop();
  // Stop and start on the same data directory (the port may change).
  bool Restart();
  // Stop, then start again on the same data directory and the same port,
  // as a server restarted at night comes back for its clients.
  bool RestartOnSamePort();
  // Start on the port the server had before it was stopped.
  bool StartOnPort(int port);
  // SIGKILL: an abrupt end, as a crash or power loss would cause.
  void Kill();

  int Port() const { return m_port; }
  const std::filesystem::path& DataDir() const { return m_dataDir; }
  const std::string& AdminPassword() const { return m_adminPassword; }
  pid_t Pid() const { return m_pid; }

  struct TAdminResult {
    int exitCode;
    std::string out;
    std::string err;
  };
  // Runs `solvane-server admin --data DIR <args>`.
  TAdminResult Admin(const std::vector<std::string>& args) const;
  // Adds a user through the admin command; fails the test when it fails.
  void AddUser(const std::string& code, const std::string& password,
               const std::vector<std::string>& extra = {}) const;

 private:
  std::filesystem::path m_dataDir;
  pid_t m_pid = -1;
  int m_port = 0;
  int m_stdout = -1;
  std::string m_adminPassword;
  std::vector<std::string> m_extraArgs;
  int m_listenPort = 0;  // 0: an ephemeral port
};

// One connection through the client's call channel (solvane_wire), plus a
// raw socket for sending malformed bytes.
class TTestClient {
 public:
  TTestClient();
  ~TTestClient();
  bool Connect(int port);
  void Close();

  // Sends the request (with the session token when signed in) and waits for
  // the reply with the same Id. False on a network failure or time-out.
  bool Call(TQorPack& request, const std::string& extraIn = {}, std::string* extraOut = nullptr,
            int timeoutSeconds = 30);
  // Call, then true only when ErrNo is 1.
  bool CallOk(TQorPack& request, const std::string& extraIn = {},
              std::string* extraOut = nullptr);

  // TUser.Login; keeps the token for later calls.
  bool Login(const std::string& code, const std::string& password);
  void SetToken(std::string token) { m_token = std::move(token); }
  const std::string& Token() const { return m_token; }

  // Sends raw bytes (for hostile-input tests); reads nothing.
  bool SendRaw(const std::string& bytes);
  // True when the server closed the connection within the time.
  bool WaitClosed(int timeoutSeconds);

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
  std::string m_token;
};

// A request packet with FunNo and record set 1 filled from name/value pairs.
TQorPack MakeRequest(const std::string& funNo,
                     const std::vector<std::pair<std::string, std::string>>& fields);

}  // namespace solvane::testing
