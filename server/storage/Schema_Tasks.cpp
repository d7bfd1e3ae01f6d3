#include "storage/Schema.h"

namespace solvane::server {

const SchemaGroup kTaskSchema{"tasks", R"SQL(
CREATE TABLE tasks (
  id        INTEGER PRIMARY KEY,
  user_code TEXT NOT NULL DEFAULT ''
);
)SQL"};

}  // namespace solvane::server
