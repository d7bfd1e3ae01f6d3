#include "auth/Sessions.h"

#include <algorithm>

#include "auth/PasswordHash.h"
#include "storage/BlobStore.h"

namespace solvane::server {

namespace {
std::int64_t NowSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}
}  // namespace

std::string TSessionStore::Create(const std::string& userCode, const std::string& address) {
  std::string token = RandomHex(32);
  std::int64_t now = NowSeconds();
  auto lock = m_db.Lock();
  Statement(m_db,
            "INSERT INTO sessions(token_hash, user_code, address, created, last_seen) "
            "VALUES(?,?,?,?,?)")
      .Bind(1, Sha256Hex(token))
      .Bind(2, userCode)
      .Bind(3, address)
      .Bind(4, now)
      .Bind(5, now)
      .Run();
  return token;
}

std::optional<TSession> TSessionStore::Find(const std::string& token) {
  if (token.size() != 64) return std::nullopt;
  std::string hash = Sha256Hex(token);
  auto lock = m_db.Lock();
  Statement st(m_db,
               "SELECT s.user_code, u.is_admin, u.can_delete FROM sessions s "
               "JOIN users u ON u.code = s.user_code WHERE s.token_hash = ?");
  st.Bind(1, hash);
  if (!st.Step()) return std::nullopt;
  TSession s{hash, st.Text(0), st.Int(1) != 0, st.Int(2) != 0};
  Statement(m_db, "UPDATE sessions SET last_seen = ? WHERE token_hash = ?")
      .Bind(1, NowSeconds())
      .Bind(2, hash)
      .Run();
  return s;
}

void TSessionStore::Remove(const std::string& tokenHash) {
  {
    auto lock = m_db.Lock();
    Statement(m_db, "DELETE FROM sessions WHERE token_hash = ?").Bind(1, tokenHash).Run();
  }
  std::lock_guard g(m_mutex);
  m_unlocked.erase(tokenHash);
}

void TSessionStore::Unlock(const std::string& tokenHash, std::int64_t folderId) {
  std::lock_guard g(m_mutex);
  m_unlocked[tokenHash].insert(folderId);
}

bool TSessionStore::IsUnlocked(const std::string& tokenHash, std::int64_t folderId) {
  std::lock_guard g(m_mutex);
  auto it = m_unlocked.find(tokenHash);
  return it != m_unlocked.end() && it->second.count(folderId) > 0;
}

int TLoginThrottle::SecondsToWait(const std::string& userCode, const std::string& address) {
  std::lock_guard g(m_mutex);
  auto now = Clock::now();
  auto wait = [&](const std::map<std::string, Entry>& m, const std::string& key) {
    auto it = m.find(key);
    if (it == m.end() || it->second.blockedUntil <= now) return 0;
    auto left = std::chrono::ceil<std::chrono::seconds>(it->second.blockedUntil - now);
    return static_cast<int>(left.count());
  };
  return std::max(wait(m_byUser, userCode), wait(m_byAddress, address));
}

void TLoginThrottle::Note(Entry& e, int threshold) {
  ++e.failures;
  if (e.failures < threshold) return;
  int seconds = std::min(300, 1 << std::min(e.failures - threshold, 9));
  e.blockedUntil = Clock::now() + std::chrono::seconds(seconds);
}

void TLoginThrottle::Failed(const std::string& userCode, const std::string& address) {
  std::lock_guard g(m_mutex);
  Note(m_byUser[userCode], kUserThreshold);
  Note(m_byAddress[address], kAddressThreshold);
}

void TLoginThrottle::Succeeded(const std::string& userCode, const std::string& address) {
  std::lock_guard g(m_mutex);
  m_byUser.erase(userCode);
  m_byAddress.erase(address);
}

}  // namespace solvane::server
