#pragma once
// Typed calls of the class word TLog: the runs of a period and what a run
// stored or failed to store.

#include <cstdint>
#include <string>
#include <vector>

#include "api/ApiCall.h"

namespace solvane::api {

struct TRunLogRow {
  std::int64_t TaskKind = 0;
  std::uint32_t SessionID = 0;  // packed
  std::string TaskName;
  std::int32_t TaskID = -1;
};

struct TRunLogObject {
  std::string ObjectName;
  std::int64_t ObjectSize = 0;
  std::int64_t ObjectDate = 0;  // packed
};

struct TRunLogError {
  std::string ObjectName;
  std::string ObjectFolder;
  std::string ObjectComment;
};

// The user's runs started within [startSession, endSession] (packed).
TApiResult<std::vector<TRunLogRow>> LogTaskLogSelect(const TApiLink& link,
                                                     const std::string& userCode,
                                                     std::uint32_t startSession,
                                                     std::uint32_t endSession);
// The store folders of the objects a run stored.
TApiResult<std::vector<std::string>> LogTaskLogSelectFolder(const TApiLink& link,
                                                            const std::string& userCode,
                                                            std::int32_t taskId,
                                                            std::uint32_t sessionId);
TApiResult<std::vector<TRunLogObject>> LogTaskLogSelectObject(const TApiLink& link,
                                                              const std::string& userCode,
                                                              std::int32_t taskId,
                                                              std::uint32_t sessionId,
                                                              const std::string& folder);
TApiResult<std::vector<TRunLogError>> LogTaskLogSelectErrorObject(const TApiLink& link,
                                                                  const std::string& userCode,
                                                                  std::int32_t taskId,
                                                                  std::int32_t taskKind,
                                                                  std::uint32_t sessionId);

}  // namespace solvane::api
