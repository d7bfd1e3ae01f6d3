#include "storage/Schema.h"

namespace solvane::server {

// Share folders form one tree that every user sees; parent_id 0 is the top
// level. Only the owner edits or removes a folder. The access password is
// kept as a salted hash (empty: none); pwd_version counts its changes, so
// that sessions that opened the folder with an older password are locked
// out again.
//
// A folder's files live in the file store of (owner, 171) under the folder
// "/<id>", so they count towards the owner's space. IDs are never reused,
// so no file of a removed folder can surface in a new one.
const SchemaGroup kShareSchema{"share", R"SQL(
CREATE TABLE share_folders (
  id           INTEGER PRIMARY KEY AUTOINCREMENT,
  parent_id    INTEGER NOT NULL DEFAULT 0,
  name         TEXT NOT NULL,
  owner        TEXT NOT NULL REFERENCES users(code),
  comment      TEXT NOT NULL DEFAULT '',
  is_read_only INTEGER NOT NULL DEFAULT 0,
  pwd_hash     TEXT NOT NULL DEFAULT '',
  pwd_version  INTEGER NOT NULL DEFAULT 0,
  created      TEXT NOT NULL DEFAULT (datetime('now','localtime'))
);
CREATE INDEX share_folders_parent ON share_folders(parent_id);
)SQL"};

}  // namespace solvane::server
