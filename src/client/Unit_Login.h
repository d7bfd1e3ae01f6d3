#pragma once
// Signing in and out: the system profile call, "TUser.Login" (whose token
// every later request carries), "TUser.Regist", "TUser.Logout".

#include <string>

namespace solvane {

class TPublicInfo;
class TQorPack;

// The operation name of the system profile call.
inline constexpr const char* kProfileOperation = "TSystem.GetProfile";

// The "TUser.Login" request of the signed-in (or signing-in) user.
void FillLoginRequest(TPublicInfo& info, TQorPack& request);

// Signs in with the host, port, time-out, user code and password held by the
// shared state. On success: logged in, user settings saved, profile and
// rights read, all connections connected, engine started, login announced.
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
