#pragma once
// Signing in and out: the system profile call, "TUser.Login" (whose token
// every later request carries), "TUser.Regist", "TUser.Logout".

#include <optional>
#include <string>

#include "api/ApiCall.h"
#include "api/UserApi.h"
#include "wire/QorWithNetTCPClient.h"
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
// When SignIn failed because the server's certificate differs from the one
// pinned: both fingerprints (to be shown, and to pin the presented one when
// the user accepts it).
std::optional<TQorTlsRefusal> CertificateRefusal(TPublicInfo& info);
// Pins fingerprint for the server of the settings (a refused certificate the
// user has accepted).
bool AcceptServerCertificate(TPublicInfo& info, const std::string& fingerprint);

// What `trust` found: the certificate the server presents now.
struct TServerCertificate {
  bool Reached = false;
  bool TrustedByCa = false;  // nothing to pin: the system's CAs vouch for it
  std::string Fingerprint;
  std::string Previous;  // pinned before; empty when none
};
// Connects over TLS to the server of the settings without holding it to the
// pinned fingerprint, and pins what it presents.
TServerCertificate TrustServerCertificate(TPublicInfo& info);

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
