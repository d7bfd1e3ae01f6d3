#include "storage/RunStore.h"

namespace solvane::server {

namespace {

constexpr std::int64_t kTwoTo31 = std::int64_t{1} << 31;
constexpr std::int64_t kTwoTo32 = std::int64_t{1} << 32;

constexpr const char* kRunColumns =
    "task_id, session_id, task_name, task_kind, task_direction, is_temporary, "
    "folder_total_count, folder_count, total_file_count, total_done_file_size, "
    "file_waited_count, file_checked_count, file_checked_no_change, file_checked_need_up, "
    "file_dispatched_count, file_done_count, file_error_count";

TRunRecord ReadRun(const Statement& st) {
  TRunRecord r;
  r.taskId = st.Int(0);
  r.sessionId = st.Int(1);
  r.head.taskName = st.Text(2);
  r.head.taskKind = static_cast<int>(st.Int(3));
  r.head.taskDirection = static_cast<int>(st.Int(4));
  r.head.isTemporary = st.Int(5) != 0;
  std::int64_t* counters[] = {&r.counters.folderTotalCount,
                              &r.counters.folderCount,
                              &r.counters.totalFileCount,
                              &r.counters.totalDoneFileSize,
                              &r.counters.fileWaitedCount,
                              &r.counters.fileCheckedCount,
                              &r.counters.fileCheckedAndNoChangeCount,
                              &r.counters.fileCheckedAndNeedUpCount,
                              &r.counters.fileDispatchedCount,
                              &r.counters.fileDoneCount,
                              &r.counters.fileErrorCount};
  int col = 6;
  for (std::int64_t* c : counters) *c = st.Int(col++);
  return r;
}

// Writes the head of the given run.
void WriteHead(Database& db, std::int64_t run, const TRunHead& head) {
  Statement(db,
            "UPDATE runs SET task_name = ?, task_kind = ?, task_direction = ?, is_temporary = ? "
            "WHERE id = ?")
      .Bind(1, head.taskName)
      .Bind(2, head.taskKind)
      .Bind(3, head.taskDirection)
      .Bind(4, head.isTemporary)
      .Bind(5, run)
      .Run();
}

std::int64_t InsertRun(Database& db, const std::string& userCode, std::int64_t taskId,
                       std::int64_t sessionId) {
  Statement(db, "INSERT INTO runs(user_code, task_id, session_id) VALUES(?,?,?)")
      .Bind(1, userCode)
      .Bind(2, taskId)
      .Bind(3, sessionId)
      .Run();
  return db.LastInsertId();
}

bool HasEnded(Database& db, std::int64_t run) {
  Statement st(db, "SELECT stopped_at <> '' FROM runs WHERE id = ?");
  st.Bind(1, run);
  return st.Step() && st.Int(0) != 0;
}

}  // namespace

std::optional<std::int64_t> NormaliseTaskId(std::int64_t raw) {
  if (raw < -kTwoTo31 || raw >= kTwoTo32) return std::nullopt;
  return raw >= kTwoTo31 ? raw - kTwoTo32 : raw;
}

std::optional<std::int64_t> NormaliseSessionId(std::int64_t raw) {
  if (raw < -kTwoTo31 || raw >= kTwoTo32 || raw == 0) return std::nullopt;
  return raw < 0 ? raw + kTwoTo32 : raw;
}

std::optional<std::int64_t> FindRun(Database& db, const std::string& userCode, std::int64_t taskId,
                                    std::int64_t sessionId) {
  auto lock = db.Lock();
  Statement st(db,
               "SELECT id FROM runs WHERE user_code = ? AND task_id = ? AND session_id = ? "
               "ORDER BY id DESC LIMIT 1");
  st.Bind(1, userCode).Bind(2, taskId).Bind(3, sessionId);
  if (!st.Step()) return std::nullopt;
  return st.Int(0);
}

std::int64_t EnsureRun(Database& db, const std::string& userCode, std::int64_t taskId,
                       std::int64_t sessionId) {
  if (auto run = FindRun(db, userCode, taskId, sessionId)) return *run;
  return InsertRun(db, userCode, taskId, sessionId);
}

TStoreResult<std::optional<std::int64_t>> LatestRunSession(Database& db,
                                                           const std::string& userCode,
                                                           std::int64_t taskId) {
  return Guarded([&]() -> std::optional<std::int64_t> {
    auto lock = db.Lock();
    Statement st(db,
                 "SELECT session_id FROM runs WHERE user_code = ? AND task_id = ? "
                 "ORDER BY session_id DESC, id DESC LIMIT 1");
    st.Bind(1, userCode).Bind(2, taskId);
    if (!st.Step()) return std::nullopt;
    return st.Int(0);
  });
}

TStoreResult<void> StartRun(Database& db, const std::string& userCode, std::int64_t taskId,
                            std::int64_t sessionId, const TRunHead& head) {
  return Guarded([&]() {
    Transaction tx(db);
    auto run = FindRun(db, userCode, taskId, sessionId);
    // A start for a run that ended is a new run that got the same key (two
    // starts within one packed date-time): the ended run keeps its report.
    if (!run || HasEnded(db, *run)) run = InsertRun(db, userCode, taskId, sessionId);
    WriteHead(db, *run, head);
    tx.Commit();
  });
}

TStoreResult<void> StopRun(Database& db, const std::string& userCode, std::int64_t taskId,
                           std::int64_t sessionId, const TRunHead& head, const std::string& comment,
                           const TRunCounters& c) {
  return Guarded([&]() {
    Transaction tx(db);
    const std::int64_t run = EnsureRun(db, userCode, taskId, sessionId);
    WriteHead(db, run, head);
    Statement(db,
              "UPDATE runs SET comment = ?, stopped_at = datetime('now','localtime'), "
              "folder_total_count = ?, folder_count = ?, total_file_count = ?, "
              "total_done_file_size = ?, file_waited_count = ?, file_checked_count = ?, "
              "file_checked_no_change = ?, file_checked_need_up = ?, file_dispatched_count = ?, "
              "file_done_count = ?, file_error_count = ? WHERE id = ?")
        .Bind(1, comment)
        .Bind(2, c.folderTotalCount)
        .Bind(3, c.folderCount)
        .Bind(4, c.totalFileCount)
        .Bind(5, c.totalDoneFileSize)
        .Bind(6, c.fileWaitedCount)
        .Bind(7, c.fileCheckedCount)
        .Bind(8, c.fileCheckedAndNoChangeCount)
        .Bind(9, c.fileCheckedAndNeedUpCount)
        .Bind(10, c.fileDispatchedCount)
        .Bind(11, c.fileDoneCount)
        .Bind(12, c.fileErrorCount)
        .Bind(13, run)
        .Run();
    tx.Commit();
  });
}

TStoreResult<void> AddRunErrors(Database& db, const std::string& userCode, std::int64_t taskId,
                                std::int64_t sessionId, const TRunHead& head,
                                const std::vector<TRunError>& errors) {
  return Guarded([&]() {
    Transaction tx(db);
    std::int64_t run = EnsureRun(db, userCode, taskId, sessionId);
    // A report for a run that was never started names the run's task.
    Statement(db, "UPDATE runs SET task_name = ?, task_kind = ? WHERE id = ? AND task_name = ''")
        .Bind(1, head.taskName)
        .Bind(2, head.taskKind)
        .Bind(3, run)
        .Run();
    // An object reported twice (a repeated report) is kept once.
    Statement insert(db,
                     "INSERT INTO run_errors(run, object_name, object_folder, comment) "
                     "SELECT ?1, ?2, ?3, ?4 WHERE NOT EXISTS (SELECT 1 FROM run_errors "
                     "WHERE run = ?1 AND object_name = ?2 AND object_folder = ?3)");
    for (const TRunError& e : errors) {
      insert.Reset();
      insert.Bind(1, run).Bind(2, e.objectName).Bind(3, e.objectFolder).Bind(4, e.comment).Run();
    }
    tx.Commit();
  });
}

TStoreResult<std::vector<TRunRecord>> SelectRuns(Database& db, const std::string& userCode,
                                                 std::int64_t firstSession,
                                                 std::int64_t lastSession, bool uploadsOnly) {
  return Guarded([&]() -> std::vector<TRunRecord> {
    auto lock = db.Lock();
    std::string sql = std::string("SELECT ") + kRunColumns +
                      " FROM runs WHERE user_code = ? AND session_id BETWEEN ? AND ?" +
                      (uploadsOnly ? " AND task_direction = 0" : "") + " ORDER BY session_id, id";
    Statement st(db, sql);
    st.Bind(1, userCode).Bind(2, firstSession).Bind(3, lastSession);
    std::vector<TRunRecord> runs;
    while (st.Step()) runs.push_back(ReadRun(st));
    return runs;
  });
}

TStoreResult<std::vector<std::string>> SelectRunFolders(Database& db, const std::string& userCode,
                                                        std::int64_t taskId,
                                                        std::int64_t sessionId) {
  return Guarded([&]() -> std::vector<std::string> {
    auto lock = db.Lock();
    std::vector<std::string> folders;
    auto run = FindRun(db, userCode, taskId, sessionId);
    if (!run) return folders;
    Statement st(db, "SELECT DISTINCT folder FROM run_objects WHERE run = ? ORDER BY folder");
    st.Bind(1, *run);
    while (st.Step()) folders.push_back(st.Text(0));
    return folders;
  });
}

TStoreResult<std::vector<TRunLoggedObject>> SelectRunObjects(Database& db,
                                                             const std::string& userCode,
                                                             std::int64_t taskId,
                                                             std::int64_t sessionId,
                                                             const std::string& folder) {
  return Guarded([&]() -> std::vector<TRunLoggedObject> {
    auto lock = db.Lock();
    std::vector<TRunLoggedObject> objects;
    auto run = FindRun(db, userCode, taskId, sessionId);
    if (!run) return objects;
    Statement st(db,
                 "SELECT name, size, object_date FROM run_objects "
                 "WHERE run = ? AND folder = ? ORDER BY id");
    st.Bind(1, *run).Bind(2, folder);
    while (st.Step()) objects.push_back({st.Text(0), st.Int(1), st.Int(2)});
    return objects;
  });
}

TStoreResult<std::vector<TRunError>> SelectRunErrors(Database& db, const std::string& userCode,
                                                     std::int64_t taskId, std::int64_t sessionId) {
  return Guarded([&]() -> std::vector<TRunError> {
    auto lock = db.Lock();
    std::vector<TRunError> errors;
    auto run = FindRun(db, userCode, taskId, sessionId);
    if (!run) return errors;
    Statement st(db,
                 "SELECT object_name, object_folder, comment FROM run_errors "
                 "WHERE run = ? ORDER BY id");
    st.Bind(1, *run);
    while (st.Step()) errors.push_back({st.Text(0), st.Text(1), st.Text(2)});
    return errors;
  });
}

}  // namespace solvane::server
