#pragma once
// The server's one SQLite connection and its owner. Every statement runs under
// the database lock; a Transaction holds that lock from BEGIN to COMMIT.

#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "storage/CommitQueue.h"

namespace solvane::server {

class Database;

// A prepared statement. Bind indexes are 1-based; columns 0-based. The
// compiled form of a statement's text is kept by its database after use, so
// the next Statement of the same text skips SQLite's parser and planner.
class Statement {
 public:
  Statement(Database& db, std::string_view sql);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Bind(int i, std::int64_t v);
  Statement& Bind(int i, int v) { return Bind(i, static_cast<std::int64_t>(v)); }
  Statement& Bind(int i, bool v) { return Bind(i, static_cast<std::int64_t>(v ? 1 : 0)); }
  Statement& Bind(int i, std::string_view v);
  Statement& Bind(int i, const char* v) { return Bind(i, std::string_view(v)); }
  Statement& Bind(int i, const std::string& v) { return Bind(i, std::string_view(v)); }
  Statement& BindNull(int i);

  // True while a row is available. Throws DatabaseError on failure.
  bool Step();
  // Runs to completion (for statements without rows).
  void Run();
  void Reset();

  std::int64_t Int(int col) const;
  std::string Text(int col) const;
  bool IsNull(int col) const;

 private:
  Database& m_db;
  std::string m_sql;
  sqlite3_stmt* m_stmt = nullptr;
};

// Raised only inside the storage layer; handlers turn it into a failure reply.
struct DatabaseError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// One group of tables: its name and the statements that create it. Groups
// are applied in order by schema version 1; later versions append migrations.
struct SchemaGroup {
  const char* name;
  const char* ddl;
};

// One change of layout after version 1: its statements bring a database of
// version - 1 to `version`, in one transaction together with the new
// user_version. A shipped step is never edited; a later change appends one.
struct SchemaMigration {
  int version;
  const char* name;
  const char* sql;
};

class Database {
 public:
  // Opens (creating when missing) and brings the schema up to date.
  explicit Database(const std::filesystem::path& file);
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  sqlite3* Handle() { return m_db; }
  std::recursive_mutex& Mutex() { return m_mutex; }
  std::unique_lock<std::recursive_mutex> Lock() { return std::unique_lock(m_mutex); }

  void Exec(std::string_view sql);
  // True while a transaction is open on the connection. Only meaningful to
  // the thread holding the lock; false after SQLite rolled a transaction back
  // by itself (a full disk, an I/O error), which its owner must notice.
  bool InTransaction();
  std::int64_t LastInsertId();
  int Changes();
  int SchemaVersion();

  // Completed uploads of this database are committed in batches through this
  // queue (storage/VersionCommit).
  TCommitQueue& Commits() { return m_commits; }

 private:
  friend class Statement;
  // A compiled statement of that text not in use, or nullptr.
  sqlite3_stmt* TakeCompiled(const std::string& sql);
  // Keeps a reset statement for the next use of its text; finalizes it when
  // enough of its text or in all are kept already.
  void KeepCompiled(const std::string& sql, sqlite3_stmt* stmt);
  void FinalizeCompiled();

  void Migrate();
  // Runs `statements` and sets user_version in one transaction, unless the
  // database is at `version` already (another process may have migrated it).
  void MigrateTo(int version, const std::vector<const char*>& statements);

  sqlite3* m_db = nullptr;
  std::recursive_mutex m_mutex;
  TCommitQueue m_commits;
  std::mutex m_compiledMutex;
  std::unordered_map<std::string, std::vector<sqlite3_stmt*>> m_compiled;
  std::size_t m_compiledCount = 0;
};

// BEGIN IMMEDIATE ... COMMIT, rolled back when not committed. Opened inside
// another transaction of the same thread it is a savepoint of that one: its
// Commit keeps its changes for the outer COMMIT, and without Commit only its
// own changes are undone (so one step of a batch can fail alone).
class Transaction {
 public:
  explicit Transaction(Database& db);
  ~Transaction();
  void Commit();

 private:
  Database& m_db;
  std::unique_lock<std::recursive_mutex> m_lock;
  bool m_nested = false;
  bool m_done = false;
};

// Every table group of the server, in creation order (schema version 1).
const std::vector<SchemaGroup>& AllSchemaGroups();
// The steps after version 1, in version order.
const std::vector<SchemaMigration>& AllSchemaMigrations();

}  // namespace solvane::server
