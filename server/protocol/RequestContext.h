#pragma once
// What a handler sees of one request: the request packet, the reply it
// fills, the extra data in both directions, the caller's session, and the
// server's services.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "auth/Sessions.h"
#include "wire/QorWithPack.h"
#include "wire/QorWithProtocol.h"

namespace solvane::server {

class Database;
class IBlobStore;
class TStagingArea;
struct TServerConfig;

// Result codes of failed replies; success is the protocol's kErrNoOk.
enum ErrNo : std::int32_t {
  kErrUnknownOperation = 0,
  kErrBadRequest = 2,      // a field missing or malformed
  kErrNotSignedIn = static_cast<std::int32_t>(kErrNoNotSignedIn),  // no valid session token
  kErrForbidden = 4,       // the session may not do this
  kErrNotFound = 5,        // no such object, task, user, folder
  kErrConflict = 6,        // exists already, or does not fit the current state
  kErrWrongPassword = 7,
  kErrTooManyAttempts = 8,
  kErrQuotaExceeded = 9,
  kErrStorage = 10,        // the server could not read or write its store
};

struct TServices {
  Database& db;
  IBlobStore& blobs;
  TStagingArea& staging;
  TSessionStore& sessions;
  TLoginThrottle& throttle;
  const TServerConfig& config;
};

class TRequestContext {
 public:
  TRequestContext(TServices& services, TQorPack& request, std::string_view extraIn,
                  std::string peerAddress)
      : m_services(services), m_request(request), m_extraIn(extraIn),
        m_peerAddress(std::move(peerAddress)) {}

  TServices& Services() { return m_services; }
  Database& Db() { return m_services.db; }
  TQorPack& Request() { return m_request; }
  TQorPack& Reply() { return m_reply; }

  // A field of request record set n (1 by default), as text / integer.
  std::string Str(std::string_view name, int n = 1);
  std::int64_t Int(std::string_view name, int n = 1);
  bool Bool(std::string_view name, int n = 1);
  // Strict integer: false (and a failure reply set) when the text is no number.
  bool RequireInt(std::string_view name, std::int64_t& out, int n = 1);
  int RecordSets() { return m_request.RecordSetCount(); }

  std::string_view ExtraIn() const { return m_extraIn; }
  std::string& ExtraOut() { return m_extraOut; }

  const std::string& PeerAddress() const { return m_peerAddress; }
  const std::optional<TSession>& Session() const { return m_session; }
  void SetSession(std::optional<TSession> s) { m_session = std::move(s); }
  // The signed-in user's code (empty before sign-in).
  const std::string& UserCode() const;

  // The user code the request names in `field` must be the caller's own
  // (administrators included: nobody writes another user's data). Sets a
  // failure reply and returns false otherwise.
  bool RequireOwnUser(std::string_view field = "UCode");

  // Marks the reply failed. Returns false so handlers can `return Fail(...)`.
  bool Fail(ErrNo code, std::string_view message);
  // A store's failure, reported as every storage error is. Returns false.
  bool FailStorage(std::string_view message);
  bool Failed() const { return m_failed; }

 private:
  TServices& m_services;
  TQorPack& m_request;
  TQorPack m_reply;
  std::string_view m_extraIn;
  std::string m_extraOut;
  std::string m_peerAddress;
  std::optional<TSession> m_session;
  bool m_failed = false;
};

}  // namespace solvane::server
