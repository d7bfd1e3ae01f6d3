#pragma once
// The table groups of the server's database. Each group lives beside the
// code that owns its tables; AllSchemaGroups lists them in creation order.
// Later versions are migration steps, each in its own file, listed by
// AllSchemaMigrations.

#include "storage/Database.h"

namespace solvane::server {

extern const SchemaGroup kCoreSchema;   // users, sessions, profile values
extern const SchemaGroup kFileSchema;   // stores, objects, versions, blobs, staging, trash
extern const SchemaGroup kTaskSchema;   // tasks, task objects and filters, policies, runs, logs
extern const SchemaGroup kShareSchema;  // share folders
extern const SchemaGroup kAuthSchema;   // manager links, permission requests, permissions

extern const SchemaMigration kUsedSpaceMigration;   // 2: running total of each user's bytes
extern const SchemaMigration kRunRepeatsMigration;  // 3: several runs under one run key

}  // namespace solvane::server
