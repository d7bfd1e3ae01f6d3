#pragma once
// Who may reach whose tasks, runs and logs. Every task, policy and log
// operation asks here, so that permissions between users are added in one
// place.

#include <optional>
#include <string>

#include "protocol/RequestContext.h"

namespace solvane::server {

enum class TTaskAccess {
  kRead,    // list tasks, read their definitions, runs, logs and reports
  kChange,  // define tasks, report runs
};

// The one decision whether the session may reach the tasks, runs and logs of
// user `owner`: every user his own; a user who may view the owner's stores
// (MayViewStoresOf) reads them, never changes them. False with the storage
// failure set on the reply when the permissions cannot be read.
bool MayAccessTasksOf(TRequestContext& ctx, const std::string& owner, TTaskAccess access);

// The user a request is about: its "UCode", or the session's user when it
// names none. "UAdmin", when sent, names the acting user and must be the
// session's. Sets a failure reply and returns nullopt when refused.
std::optional<std::string> TaskUserOf(TRequestContext& ctx, TTaskAccess access);

}  // namespace solvane::server
