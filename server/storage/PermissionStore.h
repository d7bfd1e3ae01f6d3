#pragma once
// Who may view whose stores. Every decision that lets a session read another
// user's stores, tasks or logs asks MayViewStoresOf; viewing never includes
// changing or deleting anything. Every call returns a failed statement as
// an error value.
//
// The security mode (profile value KRN_SecurityMode) chooses the source:
// standard mode (0): a user views the stores of the users he manages
// (users.manager, set by the administrator); secure mode (1): a user views
// the stores of the users who approved his request and have not revoked it.
// Permissions of the other mode stay stored but do not count.

#include <string>
#include <vector>

#include "storage/Database.h"
#include "storage/StoreResult.h"

namespace solvane::server {

enum class SecurityMode { kStandard = 0, kSecure = 1 };

TStoreResult<SecurityMode> CurrentSecurityMode(Database& db);
TStoreResult<void> SetSecurityMode(Database& db, SecurityMode mode);

// True for the user himself and for a viewer the current mode allows.
TStoreResult<bool> MayViewStoresOf(Database& db, const std::string& viewer,
                                   const std::string& owner);

// One row of the permission lists: the other user and since when the link
// exists ("yyyy-mm-dd hh:nn:ss").
struct TViewLink {
  std::string user;
  std::string name;
  std::string since;
};

enum class ViewDirection {
  kUsersIMayView = 0,  // the stores `user` may view
  kUsersViewingMe = 1  // the users who may view the stores of `user`
};

// The links of the current mode, ordered by user code.
TStoreResult<std::vector<TViewLink>> ViewLinks(Database& db, const std::string& user,
                                               ViewDirection direction);

// A request of the secure mode: Sender asks to view Receiver's stores.
struct TAuthRequest {
  std::string sender;
  std::string receiver;
  std::string otherName;  // the name of the party other than the listing user
  std::string context;
  std::string comment;
  std::string sendDate;
};

enum class SendOutcome { kSent, kAlreadyGranted };

// Files a pending request, replacing a pending one of the same pair.
TStoreResult<SendOutcome> SendAuthRequest(Database& db, const std::string& sender,
                                          const std::string& receiver, const std::string& context,
                                          const std::string& comment);

enum class RequestBox {
  kReceived = 0,  // pending requests addressed to the user: he decides them
  kSent = 1       // pending requests the user sent
};

// Pending requests, oldest first.
TStoreResult<std::vector<TAuthRequest>> PendingRequests(Database& db, const std::string& user,
                                                        RequestBox box);

// Approves (a permission from now on) or rejects the pending request of
// (sender, receiver) sent at `sendDate`. False when there is none.
TStoreResult<bool> DecideAuthRequest(Database& db, const std::string& receiver,
                                     const std::string& sender, const std::string& sendDate,
                                     bool allow);

// Ends the permission of `sender` on the stores of `receiver`. False when
// there is none.
TStoreResult<bool> RevokePermission(Database& db, const std::string& sender,
                                    const std::string& receiver);

struct TPermission {
  std::string sender;
  std::string receiver;
  std::string authDate;
};
TStoreResult<std::vector<TPermission>> ListPermissions(Database& db);

}  // namespace solvane::server
