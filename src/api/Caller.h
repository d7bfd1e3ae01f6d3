#pragma once
// Who makes a call: the signed-in user and the workstation, as the requests
// that change something on the server carry them in front ("UAdmin",
// "UIPAddr", "UMAC"). The server logs the address; it never trusts "UAdmin"
// over the session.

#include <string>

namespace solvane::api {

struct TCaller {
  std::string UserCode;
  std::string IPAddr;   // IPv4 dotted, or empty
  std::string MacAddr;  // "00-0C-29-3A-5B-7C", or empty
};

}  // namespace solvane::api
