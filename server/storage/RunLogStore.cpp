#include "storage/RunLogStore.h"

#include "storage/RunStore.h"

namespace solvane::server {

TStoreResult<void> RecordRunObject(Database& db, const std::string& userCode, std::int64_t taskId,
                                   std::int64_t sessionId, const TRunObject& object) {
  auto task = NormaliseTaskId(taskId);
  auto session = NormaliseSessionId(sessionId);
  // A transfer without a usable run identity still stores its file; it is
  // only missing from the run log.
  if (!task || !session) return {};
  return Guarded([&] {
    Transaction tx(db);
    std::int64_t run = EnsureRun(db, userCode, *task, *session);
    // A run opened by its first object takes that object's kind and direction
    // until TTask.Start or TTask.Stop names them.
    Statement(db,
              "UPDATE runs SET task_kind = ?, task_direction = ? "
              "WHERE id = ? AND task_kind = 0")
        .Bind(1, object.kind)
        .Bind(2, object.direction)
        .Bind(3, run)
        .Run();
    Statement(db,
              "INSERT INTO run_objects(run, kind, folder, name, size, object_date, direction) "
              "VALUES(?,?,?,?,?,?,?)")
        .Bind(1, run)
        .Bind(2, object.kind)
        .Bind(3, object.folder)
        .Bind(4, object.name)
        .Bind(5, object.size)
        .Bind(6, object.objectDate)
        .Bind(7, object.direction)
        .Run();
    tx.Commit();
  });
}

}  // namespace solvane::server
