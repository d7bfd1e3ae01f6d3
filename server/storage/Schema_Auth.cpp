#include "storage/Schema.h"

namespace solvane::server {

// Who may view whose stores. In standard mode a user views the stores of the
// users he manages (users.manager); manager_links keeps since when, filled by
// triggers whenever the manager is set. In secure mode a Sender asks a
// Receiver (auth_requests: state 0 pending, 1 approved, 2 rejected; one
// pending request per pair) and an approval becomes a permission that the
// Receiver may revoke (auth_permissions). Dates are local
// "yyyy-mm-dd hh:nn:ss" text, as the client shows and sends them back.
const SchemaGroup kAuthSchema{"auth", R"SQL(
CREATE TABLE manager_links (
  user_code TEXT PRIMARY KEY REFERENCES users(code) ON DELETE CASCADE,
  manager   TEXT NOT NULL,
  since     TEXT NOT NULL
);
CREATE TRIGGER manager_set_on_insert AFTER INSERT ON users WHEN NEW.manager <> ''
BEGIN
  INSERT OR REPLACE INTO manager_links(user_code, manager, since)
    VALUES(NEW.code, NEW.manager, datetime('now','localtime'));
END;
CREATE TRIGGER manager_set_on_update AFTER UPDATE OF manager ON users
  WHEN NEW.manager IS NOT OLD.manager
BEGIN
  INSERT OR REPLACE INTO manager_links(user_code, manager, since)
    VALUES(NEW.code, NEW.manager, datetime('now','localtime'));
END;
CREATE TABLE auth_requests (
  id         INTEGER PRIMARY KEY,
  sender     TEXT NOT NULL REFERENCES users(code) ON DELETE CASCADE,
  receiver   TEXT NOT NULL REFERENCES users(code) ON DELETE CASCADE,
  context    TEXT NOT NULL,
  comment    TEXT NOT NULL DEFAULT '',
  send_date  TEXT NOT NULL,
  state      INTEGER NOT NULL DEFAULT 0,
  decided_at TEXT NOT NULL DEFAULT ''
);
CREATE UNIQUE INDEX auth_requests_pending ON auth_requests(sender, receiver) WHERE state = 0;
CREATE INDEX auth_requests_receiver ON auth_requests(receiver, state);
CREATE TABLE auth_permissions (
  sender    TEXT NOT NULL REFERENCES users(code) ON DELETE CASCADE,
  receiver  TEXT NOT NULL REFERENCES users(code) ON DELETE CASCADE,
  auth_date TEXT NOT NULL,
  PRIMARY KEY (sender, receiver)
);
CREATE INDEX auth_permissions_receiver ON auth_permissions(receiver);
)SQL"};

}  // namespace solvane::server
