#pragma once
// Runs of tasks. A run is one (TaskID, SessionID) of a user: its counters,
// its error objects and every object transferred in it. TTask.Start opens it,
// uploads and downloads add objects to it, TTask.Stop closes it.

#include <cstdint>
#include <string>

#include "storage/Database.h"
#include "storage/StoreResult.h"

namespace solvane::server {

struct TRunObject {
  int kind = 0;             // store kind: 100, 200, 500, 171
  std::string folder;       // normalised server folder
  std::string name;
  std::int64_t size = 0;
  std::int64_t objectDate = 0;  // packed DOS date-time
  int direction = 0;        // 0 upload, 1 download
};

// Adds an object to the run of (userCode, taskId, sessionId); the run is
// created when it does not exist yet. Caller holds no transaction; this
// takes the database lock itself. A failed statement leaves the run as it
// was and comes back as an error.
TStoreResult<void> RecordRunObject(Database& db, const std::string& userCode, std::int64_t taskId,
                                   std::int64_t sessionId, const TRunObject& object);

}  // namespace solvane::server
