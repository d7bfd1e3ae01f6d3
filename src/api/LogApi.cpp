#include "api/LogApi.h"

#include "api/ApiFrame.h"

namespace solvane::api {

namespace {

TQorPack RunFrame(const char* operation, const std::string& userCode, std::int32_t taskId) {
  TQorPack p = NewFrame(operation);
  p.AddString(1, "UCode", userCode);
  p.AddInteger(1, "TaskID", taskId);
  return p;
}

}  // namespace

TApiResult<std::vector<TRunLogRow>> LogTaskLogSelect(const TApiLink& link,
                                                     const std::string& userCode,
                                                     std::uint32_t startSession,
                                                     std::uint32_t endSession) {
  TQorPack p = NewFrame("TLog.TaskLog_Select");
  p.AddString(1, "UCode", userCode);
  p.AddInteger(1, "StartSession", startSession);
  p.AddInteger(1, "EndSeesion", endSession);
  return CallForRows<TRunLogRow>(link, p, [](TQorPack& r, int n) {
    return TRunLogRow{Integer(r, n, "TaskKind"),
                      static_cast<std::uint32_t>(Integer(r, n, "SessionID")),
                      Text(r, n, "TaskName"), Int32(r, n, "TaskID")};
  });
}

TApiResult<std::vector<std::string>> LogTaskLogSelectFolder(const TApiLink& link,
                                                            const std::string& userCode,
                                                            std::int32_t taskId,
                                                            std::uint32_t sessionId) {
  TQorPack p = RunFrame("TLog.TaskLog_SelectFolder", userCode, taskId);
  p.AddInteger(1, "SessionID", sessionId);
  return CallForRows<std::string>(link, p,
                                  [](TQorPack& r, int n) { return Text(r, n, "ObjectFolder"); });
}

TApiResult<std::vector<TRunLogObject>> LogTaskLogSelectObject(const TApiLink& link,
                                                              const std::string& userCode,
                                                              std::int32_t taskId,
                                                              std::uint32_t sessionId,
                                                              const std::string& folder) {
  TQorPack p = RunFrame("TLog.TaskLog_SelectObject", userCode, taskId);
  p.AddInteger(1, "SessionID", sessionId);
  p.AddString(1, "ObjectFolder", folder);
  return CallForRows<TRunLogObject>(link, p, [](TQorPack& r, int n) {
    return TRunLogObject{Text(r, n, "ObjectName"), Integer(r, n, "ObjectSize"),
                         Integer(r, n, "ObjectDate")};
  });
}

TApiResult<std::vector<TRunLogError>> LogTaskLogSelectErrorObject(const TApiLink& link,
                                                                  const std::string& userCode,
                                                                  std::int32_t taskId,
                                                                  std::int32_t taskKind,
                                                                  std::uint32_t sessionId) {
  TQorPack p = RunFrame("TLog.TaskLog_SelectErrorObject", userCode, taskId);
  p.AddInteger(1, "TaskKind", taskKind);
  p.AddInteger(1, "SessionID", sessionId);
  return CallForRows<TRunLogError>(link, p, [](TQorPack& r, int n) {
    return TRunLogError{Text(r, n, "ObjectName"), Text(r, n, "ObjectFolder"),
                        Text(r, n, "ObjectComment")};
  });
}

}  // namespace solvane::api
