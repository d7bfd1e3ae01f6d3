#pragma once
// What every GUI test needs: a real solvane-server on 127.0.0.1 with one
// user, and a shared state (TPublicInfo) pointed at it whose settings live in
// memory and whose notes are recorded.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/AutoRun.h"
#include "platform/INoteSink.h"
#include "platform/MemoryRegistry.h"
#include "platform/NetworkInfo.h"
#include "ServerProcess.h"
#include "client/Unit_PublicInfo.h"

namespace solvane::testing {

// Notes the core sends, kept for the test to read.
class TRecordingNoteSink : public INoteSink {
 public:
  void ShowNote(const std::string& text, TNoteKind kind) override;
  std::vector<std::pair<std::string, TNoteKind>> Notes() const;

 private:
  mutable std::mutex m_mutex;
  std::vector<std::pair<std::string, TNoteKind>> m_notes;
};

// Fixed addresses: tests must not depend on the machine's interfaces.
class TFixedNetworkInfo : public INetworkInfo {
 public:
  std::string LocalIPAddress() override { return "127.0.0.1"; }
  std::string LocalMacAddress() override { return "00-0C-29-3A-5B-7C"; }
};

class TUiTestEnv {
 public:
  // Starts the server and adds the user "ann" with password "secret1".
  // Started() tells whether the server came up.
  TUiTestEnv();
  ~TUiTestEnv();

  bool Started() const { return m_started; }
  TServerProcess& Server() { return m_server; }
  // The shared state, created on first use with host 127.0.0.1, the server's
  // port, time-out 10 s, user "ann"/"secret1" (not remembered) and the fast
  // pacing profile. Settings and autorun entries stay in the test's folder.
  TPublicInfo& Info();
  TMemoryRegistry& Registry() { return m_registry; }
  TRecordingNoteSink& CoreNotes() { return m_notes; }
  // Folder of this environment's scratch files (autostart entries, cache).
  const std::string& Scratch() const { return m_scratch; }
  const std::string& AutoRunHome() const { return m_autoRunHome; }

  static constexpr const char* kUser = "ann";
  static constexpr const char* kPassword = "secret1";

 private:
  TServerProcess m_server;
  bool m_started = false;
  std::string m_scratch;
  std::string m_autoRunHome;
  TMemoryRegistry m_registry;
  std::unique_ptr<TXdgAutoRun> m_autoRun;
  TFixedNetworkInfo m_network;
  TRecordingNoteSink m_notes;
  std::unique_ptr<TPublicInfo> m_info;
};

}  // namespace solvane::testing
