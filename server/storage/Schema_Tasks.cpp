#include "storage/Schema.h"

namespace solvane::server {

// Tasks are keyed by (owner, task_id): the ID is the client's (a packed DOS
// date-time) for a user's named task and the server's (below 65 536) for a
// default task, whose owner is ''. `id` is the internal row key the child
// tables refer to.
//
// Runs are keyed by (user_code, task_id, session_id); they keep their
// task's name and kind, so they outlive the task. Session IDs are stored as
// unsigned 32-bit packed DOS date-times.
const SchemaGroup kTaskSchema{"tasks", R"SQL(
CREATE TABLE tasks (
  id                   INTEGER PRIMARY KEY,
  owner                TEXT NOT NULL,
  task_id              INTEGER NOT NULL,
  kind                 INTEGER NOT NULL,
  name                 TEXT NOT NULL,
  comment              TEXT NOT NULL DEFAULT '',
  is_down_task         INTEGER NOT NULL DEFAULT 0,
  backup_mode          INTEGER NOT NULL DEFAULT 0,
  created              TEXT NOT NULL,
  is_enable_schedule   INTEGER NOT NULL DEFAULT 0,
  schedule_start_time  TEXT NOT NULL DEFAULT '',
  schedule_kind        INTEGER NOT NULL DEFAULT 0,
  periodical_days      INTEGER NOT NULL DEFAULT 0,
  periodical_hours     INTEGER NOT NULL DEFAULT 0,
  periodical_minutes   INTEGER NOT NULL DEFAULT 0,
  daily_days           INTEGER NOT NULL DEFAULT 0,
  weekly_weeks         INTEGER NOT NULL DEFAULT 0,
  weekly_days          INTEGER NOT NULL DEFAULT 0,  -- bit 0 Monday .. bit 6 Sunday
  monthly_months       INTEGER NOT NULL DEFAULT 0,
  monthly_prefix       INTEGER NOT NULL DEFAULT 0,
  monthly_day          INTEGER NOT NULL DEFAULT 0,
  delay_execute_minute INTEGER NOT NULL DEFAULT 0,
  UNIQUE(owner, task_id)
);
CREATE TABLE task_objects (
  task     INTEGER NOT NULL REFERENCES tasks(id) ON DELETE CASCADE,
  position INTEGER NOT NULL,
  name     TEXT NOT NULL,
  kind     INTEGER,            -- NULL: sent without a kind
  size     INTEGER NOT NULL DEFAULT -1,
  date     INTEGER NOT NULL DEFAULT -1,
  version  INTEGER NOT NULL DEFAULT -1,
  PRIMARY KEY(task, position)
);
CREATE TABLE task_filters (
  task       INTEGER NOT NULL REFERENCES tasks(id) ON DELETE CASCADE,
  position   INTEGER NOT NULL,
  pattern    TEXT NOT NULL,
  is_include INTEGER NOT NULL,
  PRIMARY KEY(task, position)
);
CREATE TABLE task_filter_ex (
  task               INTEGER PRIMARY KEY REFERENCES tasks(id) ON DELETE CASCADE,
  filter_size        INTEGER NOT NULL DEFAULT 0,
  min_file_size      INTEGER NOT NULL DEFAULT 0,
  max_file_size      INTEGER NOT NULL DEFAULT 0,
  filter_create_date INTEGER NOT NULL DEFAULT 0,
  min_create_date    TEXT NOT NULL DEFAULT '',
  max_create_date    TEXT NOT NULL DEFAULT '',
  filter_update_date INTEGER NOT NULL DEFAULT 0,
  min_modified_date  TEXT NOT NULL DEFAULT '',
  max_modified_date  TEXT NOT NULL DEFAULT '',
  filter_attribute   INTEGER NOT NULL DEFAULT 0,
  is_filter_readonly INTEGER NOT NULL DEFAULT 0,
  is_filter_hidden   INTEGER NOT NULL DEFAULT 0
);
CREATE TABLE task_mail_folders (
  task        INTEGER NOT NULL REFERENCES tasks(id) ON DELETE CASCADE,
  position    INTEGER NOT NULL,
  mc_kind     INTEGER NOT NULL,
  parent_id   INTEGER NOT NULL,
  folder_id   INTEGER NOT NULL,
  data        INTEGER NOT NULL DEFAULT 0,
  cargo       TEXT NOT NULL DEFAULT '',
  file_name1  TEXT NOT NULL DEFAULT '',
  file_name2  TEXT NOT NULL DEFAULT '',
  is_selected INTEGER NOT NULL DEFAULT 0,
  PRIMARY KEY(task, position)
);
CREATE TABLE task_mail_messages (
  task        INTEGER NOT NULL REFERENCES tasks(id) ON DELETE CASCADE,
  position    INTEGER NOT NULL,
  mc_kind     INTEGER NOT NULL,
  folder_id   INTEGER NOT NULL,
  message_id  INTEGER NOT NULL,
  subject     TEXT NOT NULL DEFAULT '',
  sender      TEXT NOT NULL DEFAULT '',
  sent_date   INTEGER NOT NULL DEFAULT 0,  -- packed DOS date-time
  size        INTEGER NOT NULL DEFAULT 0,
  update_date INTEGER NOT NULL DEFAULT 0,
  cargo       TEXT NOT NULL DEFAULT '',
  PRIMARY KEY(task, position)
);
CREATE TABLE default_task_users (
  task      INTEGER NOT NULL REFERENCES tasks(id) ON DELETE CASCADE,
  user_code TEXT NOT NULL REFERENCES users(code) ON DELETE CASCADE,
  PRIMARY KEY(task, user_code)
);
CREATE INDEX default_task_users_user ON default_task_users(user_code);

CREATE TABLE policies (
  id            INTEGER PRIMARY KEY,
  name          TEXT NOT NULL UNIQUE,
  max_file_size INTEGER NOT NULL DEFAULT -1  -- MiB; -1 no limit
);
CREATE TABLE policy_patterns (
  policy     INTEGER NOT NULL REFERENCES policies(id) ON DELETE CASCADE,
  position   INTEGER NOT NULL,
  pattern    TEXT NOT NULL,
  is_include INTEGER NOT NULL,
  PRIMARY KEY(policy, position)
);
CREATE TABLE policy_users (
  user_code TEXT PRIMARY KEY REFERENCES users(code) ON DELETE CASCADE,
  policy    INTEGER NOT NULL REFERENCES policies(id) ON DELETE CASCADE
);

CREATE TABLE runs (
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
  file_error_count       INTEGER NOT NULL DEFAULT 0,
  UNIQUE(user_code, task_id, session_id)
);
CREATE INDEX runs_user_session ON runs(user_code, session_id);
CREATE TABLE run_objects (
  id          INTEGER PRIMARY KEY,
  run         INTEGER NOT NULL REFERENCES runs(id) ON DELETE CASCADE,
  kind        INTEGER NOT NULL,
  folder      TEXT NOT NULL,
  name        TEXT NOT NULL,
  size        INTEGER NOT NULL,
  object_date INTEGER NOT NULL,
  direction   INTEGER NOT NULL DEFAULT 0,
  logged_at   TEXT NOT NULL DEFAULT (datetime('now','localtime'))
);
CREATE INDEX run_objects_folder ON run_objects(run, folder);
CREATE TABLE run_errors (
  id            INTEGER PRIMARY KEY,
  run           INTEGER NOT NULL REFERENCES runs(id) ON DELETE CASCADE,
  object_name   TEXT NOT NULL,
  object_folder TEXT NOT NULL,
  comment       TEXT NOT NULL DEFAULT ''
);
CREATE INDEX run_errors_run ON run_errors(run);
)SQL"};

}  // namespace solvane::server
