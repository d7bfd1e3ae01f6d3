#pragma once
// The user's own account: sign-in ("TUser.Login"), its announcement
// ("TUser.Regist"), sign-out ("TUser.Logout"), the allotted and used space
// ("TUser.SelectOne"), the password change ("TUser.ChangePwd") and the list
// of every user ("TUser.Select", for the permission request dialog).

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "api/ApiCall.h"
#include "api/Caller.h"
#include "platform/LocalTime.h"
#include "wire/QorWithNetTCPClient.h"

namespace solvane::api {

struct TLoginRequest {
  std::string UCode;
  std::string UPwd;      // travels in clear
  std::string UIPAddr;
  std::string UMacAddr;
  DateTime LoginTime{};
};

struct TLoginReply {
  std::string Name;
  bool IsAdmin = false;
  bool IsCanDelete = false;
  std::string Token;  // carried in the header of every later request
};

TApiResult<TLoginReply> UserLogin(const TApiLink& link, const TLoginRequest& request);

// Renews a session the server no longer knows, for the pool: builds the
// sign-in from what source gives (nullopt: nothing to sign in with) and
// tells answered how it went. The pool takes the token itself.
class TLoginRenewal : public IQorReauthenticator {
 public:
  using TSource = std::function<std::optional<TLoginRequest>()>;
  using TAnswered = std::function<void(const TApiStatus&)>;
  TLoginRenewal(TSource source, TAnswered answered)
      : m_source(std::move(source)), m_answered(std::move(answered)) {}

  bool BuildLogin(TQorPack& request) override;
  void LoginAnswered(const TQorPack& reply) override;

 private:
  TSource m_source;
  TAnswered m_answered;
};

struct TRegistRequest {
  std::string UCode;
  std::string UIPAddr;
  std::string Name;  // as "TUser.Login" returned it
  DateTime LoginTime{};
};

TApiStatus UserRegist(const TApiLink& link, const TRegistRequest& request);

// Ends the caller's session; its token is refused afterwards.
TApiStatus UserLogout(const TApiLink& link, const TCaller& caller);

struct TUserSpace {
  std::int64_t TotalSpace = 0;  // MB allotted
  std::int64_t UsedSpace = 0;   // MB held by the user's stores
};

// Exactly one record is an answer; anything else is a BadReply.
TApiResult<TUserSpace> UserSelectOne(const TApiLink& link, const std::string& userCode);

TApiStatus UserChangePwd(const TApiLink& link, const TCaller& caller,
                         const std::string& oldPassword, const std::string& newPassword);

struct TUserEntry {
  std::string Code;
  std::string Name;
};

TApiResult<std::vector<TUserEntry>> UserSelect(const TApiLink& link);

}  // namespace solvane::api
