#include "storage/Schema.h"

namespace solvane::server {

const SchemaGroup kCoreSchema{"core", R"SQL(
CREATE TABLE users (
  code        TEXT PRIMARY KEY,
  name        TEXT NOT NULL DEFAULT '',
  pwd_hash    TEXT NOT NULL,
  is_admin    INTEGER NOT NULL DEFAULT 0,
  can_delete  INTEGER NOT NULL DEFAULT 0,
  space_mb    INTEGER NOT NULL DEFAULT 0,
  manager     TEXT NOT NULL DEFAULT '',
  created     TEXT NOT NULL DEFAULT (datetime('now','localtime')),
  last_login  TEXT NOT NULL DEFAULT '',
  last_ip     TEXT NOT NULL DEFAULT ''
);
CREATE TABLE sessions (
  token_hash  TEXT PRIMARY KEY,
  user_code   TEXT NOT NULL REFERENCES users(code) ON DELETE CASCADE,
  address     TEXT NOT NULL DEFAULT '',
  created     INTEGER NOT NULL,
  last_seen   INTEGER NOT NULL
);
CREATE INDEX sessions_user ON sessions(user_code);
CREATE TABLE profile (
  key   TEXT PRIMARY KEY,
  value TEXT NOT NULL
);
INSERT INTO profile(key, value) VALUES
  ('EnterprizeName', 'Solvane'),
  ('AppName', 'Solvane桌面备份系统'),
  ('KRN_MajorVersion', '1'),
  ('KRN_MinorVersion', '0'),
  ('KRN_SecurityMode', '0'),
  ('KRN_DefaultUserSpace', '10240');
)SQL"};

const std::vector<SchemaGroup>& AllSchemaGroups() {
  static const std::vector<SchemaGroup> groups = {kCoreSchema, kFileSchema, kTaskSchema,
                                                  kShareSchema, kAuthSchema};
  return groups;
}

const std::vector<SchemaMigration>& AllSchemaMigrations() {
  static const std::vector<SchemaMigration> steps = {kUsedSpaceMigration, kRunRepeatsMigration};
  return steps;
}

}  // namespace solvane::server
