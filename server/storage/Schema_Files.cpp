#include "storage/Schema.h"

namespace solvane::server {

// Stores are (user, kind): 100 backup, 200 sync, 500 mail, 171 share.
const SchemaGroup kFileSchema{"files", R"SQL(
CREATE TABLE blobs (
  sha256 TEXT PRIMARY KEY,
  size   INTEGER NOT NULL
);
CREATE TABLE objects (
  id         INTEGER PRIMARY KEY,
  user_code  TEXT NOT NULL,
  kind       INTEGER NOT NULL,
  folder     TEXT NOT NULL,
  name       TEXT NOT NULL,
  trashed_at TEXT
);
CREATE UNIQUE INDEX objects_live ON objects(user_code, kind, folder, name)
  WHERE trashed_at IS NULL;
CREATE TABLE versions (
  id          INTEGER PRIMARY KEY,
  object_id   INTEGER NOT NULL REFERENCES objects(id) ON DELETE CASCADE,
  size        INTEGER NOT NULL,
  object_date INTEGER NOT NULL,
  sha256      TEXT NOT NULL REFERENCES blobs(sha256),
  stored_at   TEXT NOT NULL DEFAULT (datetime('now','localtime'))
);
CREATE INDEX versions_object ON versions(object_id);
)SQL"};

}  // namespace solvane::server
