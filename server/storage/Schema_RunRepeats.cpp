#include "storage/Schema.h"

namespace solvane::server {

// Schema version 3: a run key (user, TaskID, SessionID) may name several
// runs. A client that starts a task again within the two seconds of one
// packed date-time sends the key of a run that already ended; that start
// opens a run of its own instead of overwriting the report of the first.
// Lookups by key take the newest run (the highest id).
//
// SQLite cannot drop a table constraint, so runs is rebuilt. Dropping the
// old table would cascade into the objects and errors logged in its runs,
// so those two tables are rebuilt too and filled before the old ones go;
// renaming the new runs table rewrites their references to it.
const SchemaMigration kRunRepeatsMigration{3, "repeated run keys", R"SQL(
CREATE TABLE runs_next (
  id                     INTEGER PRIMARY KEY,
  user_code              TEXT NOT NULL REFERENCES users(code) ON DELETE CASCADE,
  task_id                INTEGER NOT NULL,
  session_id             INTEGER NOT NULL,
  task_name              TEXT NOT NULL DEFAULT '',
  task_kind              INTEGER NOT NULL DEFAULT 0,
  task_direction         INTEGER NOT NULL DEFAULT 0,
  is_temporary           INTEGER NOT NULL DEFAULT 0,
  comment                TEXT NOT NULL DEFAULT '',
  started_at             TEXT NOT NULL DEFAULT (datetime('now','localtime')),
  stopped_at             TEXT NOT NULL DEFAULT '',
  folder_total_count     INTEGER NOT NULL DEFAULT 0,
  folder_count           INTEGER NOT NULL DEFAULT 0,
  total_file_count       INTEGER NOT NULL DEFAULT 0,
  total_done_file_size   INTEGER NOT NULL DEFAULT 0,
  file_waited_count      INTEGER NOT NULL DEFAULT 0,
  file_checked_count     INTEGER NOT NULL DEFAULT 0,
  file_checked_no_change INTEGER NOT NULL DEFAULT 0,
  file_checked_need_up   INTEGER NOT NULL DEFAULT 0,
  file_dispatched_count  INTEGER NOT NULL DEFAULT 0,
  file_done_count        INTEGER NOT NULL DEFAULT 0,
  file_error_count       INTEGER NOT NULL DEFAULT 0
);
INSERT INTO runs_next SELECT * FROM runs;
CREATE TABLE run_objects_next (
  id          INTEGER PRIMARY KEY,
  run         INTEGER NOT NULL REFERENCES runs_next(id) ON DELETE CASCADE,
  kind        INTEGER NOT NULL,
  folder      TEXT NOT NULL,
  name        TEXT NOT NULL,
  size        INTEGER NOT NULL,
  object_date INTEGER NOT NULL,
  direction   INTEGER NOT NULL DEFAULT 0,
  logged_at   TEXT NOT NULL DEFAULT (datetime('now','localtime'))
);
INSERT INTO run_objects_next SELECT * FROM run_objects;
CREATE TABLE run_errors_next (
  id            INTEGER PRIMARY KEY,
  run           INTEGER NOT NULL REFERENCES runs_next(id) ON DELETE CASCADE,
  object_name   TEXT NOT NULL,
  object_folder TEXT NOT NULL,
  comment       TEXT NOT NULL DEFAULT ''
);
INSERT INTO run_errors_next SELECT * FROM run_errors;
DROP TABLE run_objects;
DROP TABLE run_errors;
DROP TABLE runs;
ALTER TABLE runs_next RENAME TO runs;
ALTER TABLE run_objects_next RENAME TO run_objects;
ALTER TABLE run_errors_next RENAME TO run_errors;
CREATE INDEX runs_key ON runs(user_code, task_id, session_id);
CREATE INDEX runs_user_session ON runs(user_code, session_id);
CREATE INDEX run_objects_folder ON run_objects(run, folder);
CREATE INDEX run_errors_run ON run_errors(run);
)SQL"};

}  // namespace solvane::server
