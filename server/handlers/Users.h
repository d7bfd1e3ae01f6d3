#pragma once
// Users in the database: used by the sign-in operations and by the
// administration commands.

#include <cstdint>
#include <string>

#include "storage/Database.h"
#include "storage/UserStore.h"

namespace solvane::server {

// Password check against the stored hash; false for an unknown user.
TStoreResult<bool> CheckUserPassword(Database& db, const std::string& code,
                                     const std::string& password);
TStoreResult<void> SetUserPassword(Database& db, const std::string& code,
                                   const std::string& password);
// Megabytes held by the versions of every store of the user (rounded up).
TStoreResult<std::int64_t> UsedSpaceMb(Database& db, const std::string& code);
// Default space of a new user: the profile value KRN_DefaultUserSpace.
TStoreResult<std::int64_t> DefaultUserSpaceMb(Database& db);

// A user code is 1 to 32 characters without control characters, "/", "\" or
// the frame's separator.
bool IsValidUserCode(const std::string& code);

}  // namespace solvane::server
