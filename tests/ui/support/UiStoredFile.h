#pragma once
// Puts a small file into a user's backup store on the test server, so that
// the user's used space is not zero.

#include <string>

namespace solvane::testing {

class TServerProcess;

// Signs in as user and backs up one file of content under /ui-tests/name.
// True when the server took it.
bool StoreFile(const TServerProcess& server, const std::string& user, const std::string& password,
               const std::string& name, const std::string& content);

// True when the server accepts user with password.
bool CanSignIn(const TServerProcess& server, const std::string& user, const std::string& password);

}  // namespace solvane::testing
