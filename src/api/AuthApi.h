#pragma once
// Permissions between users: a Sender asks to view a Receiver's stores, the
// Receiver approves or rejects, and may later revoke. Which list a user
// sees depends on the server's security mode (profile "KRN_SecurityMode").

#include <cstdint>
#include <string>
#include <vector>

#include "api/ApiCall.h"
#include "api/Caller.h"

namespace solvane::api {

enum class TAuthDirection : std::int64_t {
  Viewable = 0,  // users whose stores I may view
  Viewers = 1,   // users who may view mine
};

struct TAuthEntry {
  std::string UCode;  // the other user
  std::string UName;
  std::string AuthDate;  // "yyyy-mm-dd hh:nn:ss"
};

struct TAuthRequestEntry {
  std::string Sender;
  std::string UName;
  std::string Context;  // the request text
  std::string SendDate;  // verbatim: the key that ReceiveMessage sends back
  std::string Comment;
};

// Asks receiver for the permission to view his stores.
TApiStatus AuthSendMessage(const TApiLink& link, const TCaller& caller,
                           const std::string& receiver, const std::string& comment,
                           const std::string& context);

TApiResult<std::vector<TAuthEntry>> AuthSelect(const TApiLink& link, std::int64_t securityMode,
                                               const std::string& userCode,
                                               TAuthDirection direction);

// The pending requests sent to userCode.
TApiResult<std::vector<TAuthRequestEntry>> AuthSelectMessage(const TApiLink& link,
                                                             const std::string& userCode);

// Approves (allowed) or rejects the request of sender; the caller is the
// receiver.
TApiStatus AuthReceiveMessage(const TApiLink& link, const TCaller& caller,
                              const std::string& sender, const std::string& sendDate,
                              bool allowed);

// Takes back the permission sender holds on the caller's stores.
TApiStatus AuthRepeal(const TApiLink& link, const TCaller& caller, const std::string& sender);

}  // namespace solvane::api
