#pragma once
// Signed-in sessions. A token is handed to the client once; the database
// keeps only its SHA-256, so a copied database yields no usable token.
// Failed logins are slowed down per user code and per address.
//
// Live sessions are kept in memory; the database copy lets them outlive a
// restart. Looking a session up never needs a write: its last-seen time is
// saved now and then, and a session whose row cannot be written (a full
// disk) still works until the server stops.

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "storage/Database.h"
#include "storage/StoreResult.h"

namespace solvane::server {

struct TSession {
  std::string tokenHash;
  std::string userCode;
  bool isAdmin = false;
  bool canDelete = false;
};

class TSessionStore {
 public:
  using Clock = std::chrono::steady_clock;
  // How long a session's last-seen time may go unsaved.
  static constexpr std::chrono::seconds kSaveInterval{60};

  explicit TSessionStore(Database& db) : m_db(db) {}
  // Creates a session and returns its token.
  std::string Create(const std::string& userCode, const std::string& address);
  // The session of a token, with the user's current rights; touches it.
  TStoreResult<std::optional<TSession>> Lookup(const std::string& token);
  // As Lookup, with a store that cannot be read taken as no session.
  std::optional<TSession> Find(const std::string& token);
  // Whether the token names a session live in memory; no database access,
  // so the network thread may ask. False may still be a session saved by an
  // earlier run of the server: Find knows.
  bool IsLive(const std::string& token);
  // Ends the session; its saved row goes too.
  TStoreResult<void> Remove(const std::string& tokenHash);

  // Share folders unlocked by a password during this session (in memory).
  void Unlock(const std::string& tokenHash, std::int64_t folderId);
  bool IsUnlocked(const std::string& tokenHash, std::int64_t folderId);

 private:
  struct TLive {
    std::string userCode;
    std::string address;
    std::int64_t created = 0;
    std::int64_t lastSeen = 0;
    Clock::time_point savedAt{};  // the last attempt to write the row
  };
  std::optional<std::string> LiveUser(const std::string& hash);
  TStoreResult<std::optional<std::string>> LoadSaved(const std::string& hash);
  bool Touch(const std::string& hash);
  void Save(const std::string& hash);

  Database& m_db;
  std::mutex m_mutex;
  std::map<std::string, TLive> m_live;  // by token hash
  std::set<std::string> m_removed;      // ended, their row not yet deleted
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
