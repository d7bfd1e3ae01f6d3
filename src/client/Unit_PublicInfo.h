#pragma once
// The one process-wide shared state: settings, the signed-in user and the
// profile, the pool of eight server connections, the task list, the task
// engine, the shared name=value list between screens, and the records handed
// between screens. Screens and the CLI reach the core through it.
//
// Thread safety: settings and user fields are guarded by one mutex; the
// pool, the task list and the engine guard themselves.

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "api/UserApi.h"
#include "tasks/EngineContext.h"
#include "mail/QorWithMCService.h"
#include "platform/AutoRun.h"
#include "platform/INoteSink.h"
#include "platform/IRegistry.h"
#include "platform/NetworkInfo.h"
#include "session/Unit_PublicInfo_Settings.h"
#include "tasks/Unit_Handler_TaskObjectList.h"
#include "wire/QorWithNetTCPClient.h"

namespace solvane {

class TTaskEngine;

struct TConfig_Of_Profile {
  std::string EnterprizeName;
  std::string AppName;
  std::string KRN_MajorVersion;
  std::string KRN_MinorVersion;
  std::int32_t KRN_SecurityMode = 0;
  std::int32_t KRN_DefaultUserSpace = 1;
  bool IsAdmin = false;
  bool IsCanDelete = false;
};

struct TConfig_Of_AuthArea {
  bool Active = false;
  std::string TargetUCode;
};

// What the shared state is built from; tests replace any of them.
struct TPublicInfoDeps {
  IRegistry& registry;
  IAutoRun& autoRun;
  INetworkInfo& network;
  INoteSink& notes;
  std::string programFile;  // full path of the running program
  // The engine's clock; the system clock when empty.
  std::function<DateTime()> clock;
};

class TPublicInfo : public IEngineContext {
 public:
  explicit TPublicInfo(TPublicInfoDeps deps);
  ~TPublicInfo() override;
  TPublicInfo(const TPublicInfo&) = delete;
  TPublicInfo& operator=(const TPublicInfo&) = delete;

  // Reads the settings, fills the pool with the eight connections and
  // creates the engine (idle). Runs once, from the constructor.
  void Setup();
  // After a successful login: loads the task list and starts the engine
  // threads and the disk monitor.
  bool StartEngine();
  // After a successful login: connects all eight connections.
  bool ConnectServer();
  // After a successful login: dropped connections come back by themselves
  // and a session the server no longer knows is renewed with the user's
  // credentials. SessionEnded (logout) turns both off.
  void SessionStarted();
  void SessionEnded();
  // Before another user signs in: stops every waiting, running or paused
  // task, waits (the user interface stays live) until the engine has ended
  // the current run with its report, then lets the engine idle until the
  // next sign-in. False when the engine did not settle within limit.
  bool StopAllTasks(std::chrono::milliseconds limit = std::chrono::seconds(60));
  // path without the leading characters of the cache folder text.
  std::string RelativeToCache(const std::string& path) const;

  // Settings (a copy) and their three save groups.
  TSettings Settings() const;
  void SetSettings(const TSettings& s);
  bool SaveServerSettings();
  bool SaveUserSettings();
  bool SaveOptions();
  // The certificate fingerprint pinned for the server of the settings.
  std::string PinnedCertificate();
  bool SavePinnedCertificate(const std::string& fingerprint);

  std::string UserName() const;
  void SetUserName(std::string name);
  std::string Password() const;
  TConfig_Of_Profile Profile() const;
  void SetProfile(const TConfig_Of_Profile& p);
  TConfig_Of_AuthArea AuthArea() const;
  void SetAuthArea(const TConfig_Of_AuthArea& a);
  bool LoggedIn() const { return m_loggedIn.load(); }
  void SetLoggedIn(bool on) { m_loggedIn = on; }

  void SetSharedParam(const std::string& name, const std::string& value);
  void ClearSharedParams();

  TTaskEngine& Engine() { return *m_engine; }
  INetworkInfo& Network() { return m_deps.network; }
  // Where the mail readers look up their stores.
  IRegistry& Registry() { return m_deps.registry; }
  // Full path of the running program (its folder holds the default cache folder).
  const std::string& ProgramFile() const { return m_deps.programFile; }

  // IEngineContext
  TQorTCPClientPool& Pool() override { return m_pool; }
  TTaskObjectList& Tasks() override { return m_tasks; }
  INoteSink& Notes() override { return m_deps.notes; }
  TQorMCService& MailService() override { return *m_mailService; }
  std::string UserCode() const override;
  std::string LocalIPAddress() override { return m_deps.network.LocalIPAddress(); }
  std::string LocalMacAddress() override { return m_deps.network.LocalMacAddress(); }
  std::string CacheFolder() const override;
  std::string SharedParam(const std::string& name) const override;
  DateTime Now() override;
  TPacing Pacing() const override;
  void Pace(int ms) override;
  TTaskObjectPtr CurrentTask() override;
  bool IsFolderDetectorIdle() override;
  bool IsCalcSlotEmpty() override;

 private:
  // The renewal of a lost session: the user's sign-in, or nothing (and a
  // note, once) without saved credentials; a refusal is noted once.
  std::optional<api::TLoginRequest> RenewalLogin();
  void RenewalAnswered(const api::TApiStatus& status);

  TPublicInfoDeps m_deps;
  TSettingsStore m_store;
  mutable std::mutex m_mutex;
  TSettings m_settings;
  std::string m_userName;
  TConfig_Of_Profile m_profile;
  TConfig_Of_AuthArea m_authArea;
  std::map<std::string, std::string> m_sharedParams;
  std::atomic<bool> m_loggedIn{false};
  std::atomic<bool> m_renewalNoted{false};  // the user was told once
  api::TLoginRenewal m_renewal{[this] { return RenewalLogin(); },
                               [this](const api::TApiStatus& s) { RenewalAnswered(s); }};

  TQorTCPClientPool m_pool;
  TTaskObjectList m_tasks;
  std::unique_ptr<TQorMCService> m_mailService;  // outlives the engine's threads
  std::unique_ptr<TTaskEngine> m_engine;  // last member: stopped first
};

}  // namespace solvane
