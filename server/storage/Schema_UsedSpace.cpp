#include "storage/Schema.h"

namespace solvane::server {

// Schema version 2: the bytes each user holds, kept as a running total so
// that the space check costs the same however many versions a store has.
//
// used_space.bytes is, at every commit, the sum of versions.size over the
// versions of the user's objects (every store, recycle bin included). The
// triggers keep it so in the statement that changes a version's size,
// object or owner, whichever code runs that statement:
//  - a version inserted adds its size to its object's user;
//  - a version deleted takes it off; deleting an object deletes its
//    versions first (the cascade of the foreign key would run only after
//    the object row is gone, when its user can no longer be found);
//  - a version moved to another object (a reverted deletion joining the
//    history of the live file) or resized moves its bytes;
//  - an object handed to another user (a share folder's new owner) moves
//    the bytes of its versions.
// Objects are keyed by their user code, not by a users row, so the total is
// too. The step fills the table from the versions already stored.
const SchemaMigration kUsedSpaceMigration{2, "used space", R"SQL(
CREATE TABLE used_space (
  user_code TEXT PRIMARY KEY,
  bytes     INTEGER NOT NULL DEFAULT 0
);
INSERT INTO used_space(user_code, bytes)
  SELECT o.user_code, SUM(v.size) FROM versions v JOIN objects o ON o.id = v.object_id
  GROUP BY o.user_code;
CREATE TRIGGER used_space_version_added AFTER INSERT ON versions
BEGIN
  INSERT INTO used_space(user_code, bytes)
    SELECT user_code, NEW.size FROM objects WHERE id = NEW.object_id
    ON CONFLICT(user_code) DO UPDATE SET bytes = bytes + excluded.bytes;
END;
CREATE TRIGGER used_space_version_removed AFTER DELETE ON versions
BEGIN
  UPDATE used_space SET bytes = bytes - OLD.size
    WHERE user_code = (SELECT user_code FROM objects WHERE id = OLD.object_id);
END;
CREATE TRIGGER used_space_version_moved AFTER UPDATE OF object_id, size ON versions
BEGIN
  UPDATE used_space SET bytes = bytes - OLD.size
    WHERE user_code = (SELECT user_code FROM objects WHERE id = OLD.object_id);
  INSERT INTO used_space(user_code, bytes)
    SELECT user_code, NEW.size FROM objects WHERE id = NEW.object_id
    ON CONFLICT(user_code) DO UPDATE SET bytes = bytes + excluded.bytes;
END;
CREATE TRIGGER used_space_object_removed BEFORE DELETE ON objects
BEGIN
  DELETE FROM versions WHERE object_id = OLD.id;
END;
CREATE TRIGGER used_space_object_handed_over AFTER UPDATE OF user_code ON objects
  WHEN NEW.user_code IS NOT OLD.user_code
BEGIN
  UPDATE used_space
    SET bytes = bytes - (SELECT COALESCE(SUM(size), 0) FROM versions WHERE object_id = OLD.id)
    WHERE user_code = OLD.user_code;
  INSERT INTO used_space(user_code, bytes)
    SELECT NEW.user_code, COALESCE(SUM(size), 0) FROM versions WHERE object_id = NEW.id
    ON CONFLICT(user_code) DO UPDATE SET bytes = bytes + excluded.bytes;
END;
)SQL"};

}  // namespace solvane::server
