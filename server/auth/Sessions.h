#pragma once
// Signed-in sessions. A token is handed to the client once; the database
// keeps only its SHA-256, so a copied database yields no usable token.
// Failed logins are slowed down per user code and per address.

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "storage/Database.h"

namespace solvane::server {

struct TSession {
  std::string tokenHash;
  std::string userCode;
  bool isAdmin = false;
  bool canDelete = false;
};

class TSessionStore {
 public:
  explicit TSessionStore(Database& db) : m_db(db) {}
  // Creates a session and returns its token.
  std::string Create(const std::string& userCode, const std::string& address);
  // The session of a token, with the user's current rights; touches it.
  std::optional<TSession> Find(const std::string& token);
  void Remove(const std::string& tokenHash);

  // Share folders unlocked by a password during this session (in memory).
  void Unlock(const std::string& tokenHash, std::int64_t folderId);
  bool IsUnlocked(const std::string& tokenHash, std::int64_t folderId);

 private:
  Database& m_db;
  std::mutex m_mutex;
  std::map<std::string, std::set<std::int64_t>> m_unlocked;
};

// After three failures for a user code (ten for an address, which many users
// may share), further attempts are refused for a delay that doubles with
// each failure (1 s up to 5 min).
class TLoginThrottle {
 public:
  using Clock = std::chrono::steady_clock;
  // Seconds the caller must still wait; 0 when an attempt may be made.
  int SecondsToWait(const std::string& userCode, const std::string& address);
  void Failed(const std::string& userCode, const std::string& address);
  void Succeeded(const std::string& userCode, const std::string& address);

 private:
  struct Entry {
    int failures = 0;
    Clock::time_point blockedUntil{};
  };
  static constexpr int kUserThreshold = 3;
  static constexpr int kAddressThreshold = 10;
  void Note(Entry& e, int threshold);
  std::mutex m_mutex;
  std::map<std::string, Entry> m_byUser;
  std::map<std::string, Entry> m_byAddress;
};

}  // namespace solvane::server
