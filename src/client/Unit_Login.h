#pragma once
// Signing in and out: the system profile call, "TUser.Login" (whose token
// every later request carries), "TUser.Regist", "TUser.Logout".

#include <optional>
#include <string>

#include "api/ApiCall.h"
#include "api/UserApi.h"
#include "wire/QorWithProtocol.h"

namespace solvane {

class TPublicInfo;

// The sign-in of the signed-in (or signing-in) user, stamped now.
api::TLoginRequest LoginRequest(TPublicInfo& info);

// Signs in with the host, port, time-out, user code and password held by the
// shared state. On success: logged in, user settings saved, profile and
// rights read, all connections connected, engine started, login announced.
// On failure the status tells a server that cannot be reached
// (NoConnection, NoReply) from one that refused the credentials (Refused,
// with its message).
api::TApiStatus SignIn(TPublicInfo& info);
// SignIn, for callers that only ask whether it worked.
bool Login(TPublicInfo& info);
// Announces the login ("TUser.Regist"); the result is not looked at.
void Regist(TPublicInfo& info);
// Signs out ("TUser.Logout"); the result is not looked at. The token is
// dropped afterwards.
void Logout(TPublicInfo& info);
// With IsSavedUserInfo set, Login with the saved values. False when not set
// or when the login failed (the caller then asks for credentials).
bool AutoLogin(TPublicInfo& info);

}  // namespace solvane
