#include "auth/Sessions.h"

#include <algorithm>
#include <iostream>

#include "auth/PasswordHash.h"
#include "storage/BlobStore.h"
#include "storage/SavedSessionStore.h"
#include "storage/UserStore.h"

namespace solvane::server {

namespace {
std::int64_t NowSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}
}  // namespace

// Lock order: the database before m_mutex, never the other way round, so a
// session's row and its memory entry change together.

std::string TSessionStore::Create(const std::string& userCode, const std::string& address) {
  std::string token = RandomHex(32);
  const std::string hash = Sha256Hex(token);
  {
    std::lock_guard g(m_mutex);
    m_live[hash] = TLive{userCode, address, NowSeconds(), NowSeconds()};
  }
  Save(hash);
  return token;
}

TStoreResult<std::optional<TSession>> TSessionStore::Lookup(const std::string& token) {
  if (token.size() != 64) return std::optional<TSession>();
  const std::string hash = Sha256Hex(token);
  std::optional<std::string> user = LiveUser(hash);
  if (!user) {
    auto saved = LoadSaved(hash);
    if (!saved.Ok()) return TStoreError{saved.Error()};
    user = *saved;
  }
  if (!user) return std::optional<TSession>();
  auto record = TUserStore(m_db).Find(*user);
  if (!record.Ok()) return TStoreError{record.Error()};
  if (!*record) return std::optional<TSession>();  // the user was removed meanwhile
  TSession s{hash, *user, (*record)->isAdmin, (*record)->canDelete};
  if (Touch(hash)) Save(hash);
  return std::optional<TSession>(std::move(s));
}

std::optional<TSession> TSessionStore::Find(const std::string& token) {
  auto found = Lookup(token);
  if (!found.Ok()) return std::nullopt;
  return *found;
}

bool TSessionStore::IsLive(const std::string& token) {
  return token.size() == 64 && LiveUser(Sha256Hex(token)).has_value();
}

std::optional<std::string> TSessionStore::LiveUser(const std::string& hash) {
  std::lock_guard g(m_mutex);
  auto it = m_live.find(hash);
  if (it == m_live.end()) return std::nullopt;
  return it->second.userCode;
}

// A session saved by an earlier run of the server becomes live again.
TStoreResult<std::optional<std::string>> TSessionStore::LoadSaved(const std::string& hash) {
  auto lock = m_db.Lock();
  auto saved = TSavedSessionStore(m_db).Load(hash);
  if (!saved.Ok()) return TStoreError{saved.Error()};
  if (!*saved) return std::optional<std::string>();
  TLive live{(*saved)->userCode, (*saved)->address, (*saved)->created, (*saved)->lastSeen,
             Clock::now()};
  std::lock_guard g(m_mutex);
  if (m_removed.count(hash)) return std::optional<std::string>();
  return std::optional<std::string>(m_live.emplace(hash, std::move(live)).first->second.userCode);
}

// Notes the use in memory; true when the last attempt to write the session's
// row (successful or not) is an interval old.
bool TSessionStore::Touch(const std::string& hash) {
  std::lock_guard g(m_mutex);
  auto it = m_live.find(hash);
  if (it == m_live.end()) return false;
  it->second.lastSeen = NowSeconds();
  return Clock::now() - it->second.savedAt >= kSaveInterval;
}

// Writes the session's row. A failure (a full disk) is reported on the
// console only: the session lives on in memory, and the next attempt comes
// an interval later.
void TSessionStore::Save(const std::string& hash) {
  auto lock = m_db.Lock();
  TLive live;
  {
    std::lock_guard g(m_mutex);
    auto it = m_live.find(hash);
    if (it == m_live.end()) return;  // ended meanwhile: no row again
    it->second.savedAt = Clock::now();
    live = it->second;
  }
  auto saved = TSavedSessionStore(m_db).Save(
      TSavedSession{hash, live.userCode, live.address, live.created, live.lastSeen});
  if (!saved.Ok()) std::cerr << "session not saved: " << saved.Error() << std::endl;
}

TStoreResult<void> TSessionStore::Remove(const std::string& tokenHash) {
  auto lock = m_db.Lock();
  {
    std::lock_guard g(m_mutex);
    m_live.erase(tokenHash);
    m_unlocked.erase(tokenHash);
    m_removed.insert(tokenHash);
  }
  auto removed = TSavedSessionStore(m_db).Remove(tokenHash);
  // Once the row is gone nothing can bring the session back; while it stays
  // (a failed delete), the mark keeps it from being loaded again.
  if (removed.Ok()) {
    std::lock_guard g(m_mutex);
    m_removed.erase(tokenHash);
  }
  return removed;
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
