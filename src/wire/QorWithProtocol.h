#pragma once
// Values of the protocol that the client and the server must agree on.

#include <cstdint>

namespace solvane {

// ErrNo of a reply: 1 is success, anything else a failure.
inline constexpr std::int64_t kErrNoOk = 1;
// The request's session token is missing or unknown to the server.
inline constexpr std::int64_t kErrNoNotSignedIn = 3;

// Files travel in segments of this many bytes; a resumed upload starts at a
// multiple of it.
inline constexpr std::int64_t kSegmentSize = 262144;

// Store kinds: the "TaskKind" of a transfer names the server store of the
// user it goes to. The task kinds that use these stores have the same values.
inline constexpr int kBackupStore = 100;
inline constexpr int kShareStore = 171;
inline constexpr int kSyncStore = 200;
inline constexpr int kMailStore = 500;

// The sign-in operation and the reply field that carries the session token.
inline constexpr const char* kLoginOperation = "TUser.Login";
inline constexpr const char* kTokenField = "Token";

// The system profile call, answered before sign-in.
inline constexpr const char* kProfileOperation = "TSystem.GetProfile";

}  // namespace solvane
