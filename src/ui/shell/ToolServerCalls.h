#pragma once
// The server calls of the tool screens (options, password change). They use
// a connection only when the pool has a free one that is already connected:
// these screens never connect on their own.

#include <cstdint>
#include <string>

#include "wire/QorWithNetTCPClient.h"

namespace solvane {

class TPublicInfo;

// A free pool connection that is connected; empty when there is none.
TQorTCPClientLease FreeConnectedConnection(TPublicInfo& info);

// The signed-in user's server space in megabytes (TUser.SelectOne).
struct TUserSpace {
  bool Ok = false;  // the call succeeded with exactly one record set
  std::int64_t Total = 0;
  std::int64_t Used = 0;
};
TUserSpace SelectUserSpace(TPublicInfo& info, TQorTCPClient& connection);

// The share of the space still available, 0..100 in whole numbers: 100 for
// a user without an allotment (total 0), 0 when the allotment is used up.
int AvailablePercent(std::int64_t total, std::int64_t used);

// TUser.ChangePwd for the signed-in user; true when the server accepted it.
bool ChangeUserPassword(TPublicInfo& info, TQorTCPClient& connection,
                        const std::string& oldPassword, const std::string& newPassword);

}  // namespace solvane
