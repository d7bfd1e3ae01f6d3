#include "storage/Schema.h"

namespace solvane::server {

// Stores are (user, kind): 100 backup, 200 sync, 500 mail, 171 share.
//
// An object is a file or a folder of a store, named by its folder and name
// ("C:/docs" + "a.txt"; the roots "C:" and "/" have the folder ""). Every
// ancestor folder of a stored file has its own row, so one level of a store
// is the rows whose folder is that path. A file's contents are its versions;
// each version points at a blob (content addressed, shared by every version
// and user with the same bytes).
//
// Deleting moves objects into the recycle bin: one trash row per deletion,
// and every object of the deleted subtree points at it. Only removing the
// trash row deletes the objects, their versions and the blobs nobody uses.
const SchemaGroup kFileSchema{"files", R"SQL(
CREATE TABLE blobs (
  sha256 TEXT PRIMARY KEY,
  size   INTEGER NOT NULL
);
CREATE TABLE trash (
  id          INTEGER PRIMARY KEY,
  user_code   TEXT NOT NULL,
  kind        INTEGER NOT NULL,
  is_folder   INTEGER NOT NULL,
  folder      TEXT NOT NULL,
  name        TEXT NOT NULL,
  size        INTEGER NOT NULL,
  object_date INTEGER NOT NULL,
  deleted_at  TEXT NOT NULL DEFAULT (datetime('now','localtime'))
);
CREATE INDEX trash_store ON trash(user_code, kind);
CREATE TABLE objects (
  id          INTEGER PRIMARY KEY,
  user_code   TEXT NOT NULL,
  kind        INTEGER NOT NULL,
  folder      TEXT NOT NULL,
  name        TEXT NOT NULL,
  is_folder   INTEGER NOT NULL DEFAULT 0,
  object_data INTEGER NOT NULL DEFAULT -1,
  cargo       TEXT NOT NULL DEFAULT '',
  cargo2      TEXT NOT NULL DEFAULT '',
  trash_id    INTEGER REFERENCES trash(id)
);
CREATE UNIQUE INDEX objects_live ON objects(user_code, kind, folder, name, is_folder)
  WHERE trash_id IS NULL;
CREATE INDEX objects_folder ON objects(user_code, kind, folder);
CREATE INDEX objects_trash ON objects(trash_id);
CREATE TABLE versions (
  id          INTEGER PRIMARY KEY,
  object_id   INTEGER NOT NULL REFERENCES objects(id) ON DELETE CASCADE,
  size        INTEGER NOT NULL,
  object_date INTEGER NOT NULL,
  sha256      TEXT NOT NULL REFERENCES blobs(sha256),
  stored_at   TEXT NOT NULL DEFAULT (datetime('now','localtime')),
  stored_dos  INTEGER NOT NULL
);
CREATE INDEX versions_object ON versions(object_id);
CREATE INDEX versions_blob ON versions(sha256);
)SQL"};

}  // namespace solvane::server
