#include "UiTestSupport.h"

#include <filesystem>


namespace solvane::testing {

void TRecordingNoteSink::ShowNote(const std::string& text, TNoteKind kind) {
  std::lock_guard lock(m_mutex);
  m_notes.emplace_back(text, kind);
}

std::vector<std::pair<std::string, TNoteKind>> TRecordingNoteSink::Notes() const {
  std::lock_guard lock(m_mutex);
  return m_notes;
}

TUiTestEnv::TUiTestEnv() {
  m_scratch = (m_server.DataDir().parent_path() /
               (m_server.DataDir().filename().string() + "-ui"))
                  .string();
  m_autoRunHome = m_scratch + "/config";
  std::filesystem::create_directories(m_autoRunHome);
  m_autoRun = std::make_unique<TXdgAutoRun>(m_autoRunHome);
  m_started = m_server.Start();
  if (m_started) m_server.AddUser(kUser, kPassword);
}

TUiTestEnv::~TUiTestEnv() {
  m_info.reset();
  std::error_code ignored;
  std::filesystem::remove_all(m_scratch, ignored);
}

TPublicInfo& TUiTestEnv::Info() {
  if (!m_info) {
    m_info = std::make_unique<TPublicInfo>(TPublicInfoDeps{
        m_registry, *m_autoRun, m_network, m_notes, m_scratch + "/bin/solvane", {}});
    TSettings s = m_info->Settings();
    s.Host = "127.0.0.1";
    s.Port = m_server.Port();
    s.TimeOut = 10;
    s.UserCode = kUser;
    s.UserPwd = kPassword;
    s.IsSavedUserInfo = false;
    s.CacheFolder = m_scratch + "/cache";
    s.Pacing = TPacing::Fast;
    m_info->SetSettings(s);
  }
  return *m_info;
}

}  // namespace solvane::testing
