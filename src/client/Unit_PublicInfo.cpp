#include "client/Unit_PublicInfo.h"

#include <chrono>
#include <thread>

#include "engine/TaskEngine.h"
#include "platform/FileFacts.h"
#include "client/Unit_Login.h"
#include "wire/QorWithProtocol.h"
#include "wire/QorWithUiPump.h"

namespace solvane {

TPublicInfo::TPublicInfo(TPublicInfoDeps deps)
    : m_deps(std::move(deps)), m_store(m_deps.registry, m_deps.autoRun, m_deps.programFile) {
  Setup();
}

TPublicInfo::~TPublicInfo() {
  m_pool.SetReauthenticator(nullptr);
  // The engine's threads use the pool and the task list: stop them first.
  if (m_engine) m_engine->Stop();
  m_engine.reset();
}

void TPublicInfo::Setup() {
  {
    std::lock_guard g(m_mutex);
    m_settings = m_store.LoadSettings();
  }
  m_tasks.Stamps().UseRegistry(&m_deps.registry);
  m_pool.FillStandard();
  m_mailService = std::make_unique<TQorMCService>(DefaultReaderFactory(m_deps.registry));
  m_engine = std::make_unique<TTaskEngine>(*this);
}

bool TPublicInfo::StartEngine() {
  m_engine->SetEngineActive(true);
  m_engine->StartDiskMonitor(static_cast<std::int32_t>(Settings().WarningSpace));
  return true;
}

bool TPublicInfo::ConnectServer() { return m_pool.ConnectAll(-1); }

void TPublicInfo::SessionStarted() {
  m_renewalNoted = false;
  m_pool.SetReauthenticator(&m_renewal);
  m_pool.SetAutoReconnect(true);
}

void TPublicInfo::SessionEnded() {
  m_pool.SetAutoReconnect(false);
  m_pool.SetReauthenticator(nullptr);
}

bool TPublicInfo::StopAllTasks(std::chrono::milliseconds limit) {
  for (const auto& task : m_tasks.Snapshot()) {
    const std::uint8_t state = task->State();
    if (state == kStateWaiting || state == kStateRunning || state == kStatePaused)
      task->RequestStop(false);
  }
  const auto deadline = std::chrono::steady_clock::now() + limit;
  bool idle = false;
  while (!(idle = !m_engine->CurrentTask() && m_engine->IsPipelineSettled()) &&
         std::chrono::steady_clock::now() < deadline) {
    PumpUi();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (idle) m_engine->SetEngineActive(false);
  return idle;
}

std::optional<api::TLoginRequest> TPublicInfo::RenewalLogin() {
  const TSettings s = Settings();
  if (s.UserCode.empty() || s.UserPwd.empty()) {
    if (!m_renewalNoted.exchange(true))
      Notes().ShowNote("与服务器的会话已失效，请重新登录。", kNoteWarning);
    return std::nullopt;
  }
  return LoginRequest(*this);
}

void TPublicInfo::RenewalAnswered(const api::TApiStatus& status) {
  if (status.Ok()) return;
  if (!m_renewalNoted.exchange(true))
    Notes().ShowNote("与服务器的会话已失效，自动重新登录未成功，请重新登录。", kNoteWarning);
}

std::string TPublicInfo::RelativeToCache(const std::string& path) const {
  const std::size_t n = CacheFolder().size();
  return n >= path.size() ? std::string() : path.substr(n);
}

TSettings TPublicInfo::Settings() const {
  std::lock_guard g(m_mutex);
  return m_settings;
}

void TPublicInfo::SetSettings(const TSettings& s) {
  std::lock_guard g(m_mutex);
  m_settings = s;
}

bool TPublicInfo::SaveServerSettings() { return m_store.SaveServerSettings(Settings()); }
bool TPublicInfo::SaveUserSettings() { return m_store.SaveUserSettings(Settings()); }
bool TPublicInfo::SaveOptions() { return m_store.SaveOptions(Settings()); }

std::string TPublicInfo::PinnedCertificate() {
  const TSettings s = Settings();
  return m_store.LoadPinnedCertificate(s.Host, s.Port);
}

bool TPublicInfo::SavePinnedCertificate(const std::string& fingerprint) {
  const TSettings s = Settings();
  return m_store.SavePinnedCertificate(s.Host, s.Port, fingerprint);
}

std::string TPublicInfo::UserName() const {
  std::lock_guard g(m_mutex);
  return m_userName;
}

void TPublicInfo::SetUserName(std::string name) {
  std::lock_guard g(m_mutex);
  m_userName = std::move(name);
}

std::string TPublicInfo::Password() const { return Settings().UserPwd; }

TConfig_Of_Profile TPublicInfo::Profile() const {
  std::lock_guard g(m_mutex);
  return m_profile;
}

void TPublicInfo::SetProfile(const TConfig_Of_Profile& p) {
  std::lock_guard g(m_mutex);
  m_profile = p;
}

TConfig_Of_AuthArea TPublicInfo::AuthArea() const {
  std::lock_guard g(m_mutex);
  return m_authArea;
}

void TPublicInfo::SetAuthArea(const TConfig_Of_AuthArea& a) {
  std::lock_guard g(m_mutex);
  m_authArea = a;
}

void TPublicInfo::SetSharedParam(const std::string& name, const std::string& value) {
  std::lock_guard g(m_mutex);
  m_sharedParams[name] = value;
}

void TPublicInfo::ClearSharedParams() {
  std::lock_guard g(m_mutex);
  m_sharedParams.clear();
}

std::string TPublicInfo::SharedParam(const std::string& name) const {
  std::lock_guard g(m_mutex);
  auto it = m_sharedParams.find(name);
  return it == m_sharedParams.end() ? std::string() : it->second;
}

std::string TPublicInfo::UserCode() const { return Settings().UserCode; }
std::string TPublicInfo::CacheFolder() const { return Settings().CacheFolder; }

DateTime TPublicInfo::Now() {
  return m_deps.clock ? m_deps.clock() : std::chrono::system_clock::now();
}

TPacing TPublicInfo::Pacing() const { return Settings().Pacing; }

void TPublicInfo::Pace(int ms) {
  if (Pacing() == TPacing::Standard && ms > 0)
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  PumpUi();
}

TTaskObjectPtr TPublicInfo::CurrentTask() { return m_engine ? m_engine->CurrentTask() : nullptr; }
bool TPublicInfo::IsFolderDetectorIdle() { return !m_engine || m_engine->IsFolderDetectorIdle(); }
bool TPublicInfo::IsCalcSlotEmpty() { return !m_engine || m_engine->IsCalcSlotEmpty(); }

}  // namespace solvane
