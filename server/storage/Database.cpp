#include "storage/Database.h"

namespace solvane::server {

namespace {
[[noreturn]] void Fail(sqlite3* db, std::string_view what) {
  throw DatabaseError(std::string(what) + ": " + sqlite3_errmsg(db));
}
}  // namespace

// Compiled statements kept per text (nested uses of one text need more than
// one) and in all; statement texts built at run time stay within the bound.
constexpr std::size_t kCompiledPerText = 4;
constexpr std::size_t kCompiledInAll = 256;

Statement::Statement(Database& db, std::string_view sql) : m_db(db), m_sql(sql) {
  m_stmt = db.TakeCompiled(m_sql);
  if (m_stmt) return;
  if (sqlite3_prepare_v3(db.Handle(), m_sql.data(), static_cast<int>(m_sql.size()),
                         SQLITE_PREPARE_PERSISTENT, &m_stmt, nullptr) != SQLITE_OK) {
    sqlite3_finalize(m_stmt);
    Fail(db.Handle(), "prepare");
  }
}

// Reset before it is kept: a statement left mid-read would hold the
// database's read snapshot open.
Statement::~Statement() {
  if (!m_stmt) return;
  sqlite3_reset(m_stmt);
  sqlite3_clear_bindings(m_stmt);
  m_db.KeepCompiled(m_sql, m_stmt);
}

Statement& Statement::Bind(int i, std::int64_t v) {
  if (sqlite3_bind_int64(m_stmt, i, v) != SQLITE_OK) Fail(m_db.Handle(), "bind");
  return *this;
}

Statement& Statement::Bind(int i, std::string_view v) {
  if (sqlite3_bind_text(m_stmt, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT) !=
      SQLITE_OK)
    Fail(m_db.Handle(), "bind");
  return *this;
}

Statement& Statement::BindNull(int i) {
  if (sqlite3_bind_null(m_stmt, i) != SQLITE_OK) Fail(m_db.Handle(), "bind");
  return *this;
}

bool Statement::Step() {
  int rc = sqlite3_step(m_stmt);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  Fail(m_db.Handle(), "step");
}

void Statement::Run() {
  while (Step()) {
  }
}

void Statement::Reset() {
  sqlite3_reset(m_stmt);
  sqlite3_clear_bindings(m_stmt);
}

std::int64_t Statement::Int(int col) const { return sqlite3_column_int64(m_stmt, col); }

std::string Statement::Text(int col) const {
  const unsigned char* t = sqlite3_column_text(m_stmt, col);
  if (!t) return {};
  return std::string(reinterpret_cast<const char*>(t),
                     static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, col)));
}

bool Statement::IsNull(int col) const { return sqlite3_column_type(m_stmt, col) == SQLITE_NULL; }

Database::Database(const std::filesystem::path& file) {
  if (sqlite3_open_v2(file.c_str(), &m_db,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                      nullptr) != SQLITE_OK) {
    std::string msg = m_db ? sqlite3_errmsg(m_db) : "out of memory";
    sqlite3_close(m_db);
    throw DatabaseError("open " + file.string() + ": " + msg);
  }
  sqlite3_busy_timeout(m_db, 10000);
  try {
    Exec("PRAGMA journal_mode=WAL");
    Exec("PRAGMA synchronous=FULL");
    Exec("PRAGMA foreign_keys=ON");
    // Savepoint journals stay in memory: a batch of uploads opens one
    // savepoint per file, and on disk each would spill to a temporary file
    // rewritten page by page (two thirds of the writes of a batch). They
    // hold only the pages one savepoint changed and are emptied at its end.
    Exec("PRAGMA temp_store=MEMORY");
    Migrate();
  } catch (const DatabaseError&) {
    FinalizeCompiled();
    sqlite3_close_v2(m_db);  // no destructor runs for a constructor that throws
    throw;
  }
}

Database::~Database() {
  FinalizeCompiled();
  sqlite3_close(m_db);
}

void Database::FinalizeCompiled() {
  std::lock_guard lock(m_compiledMutex);
  for (auto& [sql, stmts] : m_compiled)
    for (sqlite3_stmt* stmt : stmts) sqlite3_finalize(stmt);
  m_compiled.clear();
  m_compiledCount = 0;
}

sqlite3_stmt* Database::TakeCompiled(const std::string& sql) {
  std::lock_guard lock(m_compiledMutex);
  auto it = m_compiled.find(sql);
  if (it == m_compiled.end() || it->second.empty()) return nullptr;
  sqlite3_stmt* stmt = it->second.back();
  it->second.pop_back();
  --m_compiledCount;
  return stmt;
}

void Database::KeepCompiled(const std::string& sql, sqlite3_stmt* stmt) {
  {
    std::lock_guard lock(m_compiledMutex);
    if (m_compiledCount < kCompiledInAll) {
      auto& kept = m_compiled[sql];
      if (kept.size() < kCompiledPerText) {
        kept.push_back(stmt);
        ++m_compiledCount;
        return;
      }
    }
  }
  sqlite3_finalize(stmt);
}

void Database::Exec(std::string_view sql) {
  auto lock = Lock();
  char* err = nullptr;
  std::string s(sql);
  if (sqlite3_exec(m_db, s.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
    std::string msg = err ? err : "unknown error";
    sqlite3_free(err);
    throw DatabaseError("exec: " + msg);
  }
}

bool Database::InTransaction() { return sqlite3_get_autocommit(m_db) == 0; }

std::int64_t Database::LastInsertId() { return sqlite3_last_insert_rowid(m_db); }
int Database::Changes() { return sqlite3_changes(m_db); }

int Database::SchemaVersion() {
  Statement st(*this, "PRAGMA user_version");
  return st.Step() ? static_cast<int>(st.Int(0)) : 0;
}

// Version 1 creates every table group; each later version is one step of
// AllSchemaMigrations, applied in order.
void Database::Migrate() {
  std::vector<const char*> groups;
  for (const SchemaGroup& g : AllSchemaGroups()) groups.push_back(g.ddl);
  MigrateTo(1, groups);
  for (const SchemaMigration& m : AllSchemaMigrations()) MigrateTo(m.version, {m.sql});
}

void Database::MigrateTo(int version, const std::vector<const char*>& statements) {
  Transaction tx(*this);
  if (SchemaVersion() >= version) return;
  for (const char* sql : statements) Exec(sql);
  Exec("PRAGMA user_version=" + std::to_string(version));
  tx.Commit();
}

// Savepoints nest strictly, so one name serves every level: RELEASE and
// ROLLBACK TO address the innermost savepoint of that name. Beginning and
// committing run compiled statements: a batch of uploads opens two
// savepoints per file, and parsing them each time cost a tenth of it.
Transaction::Transaction(Database& db)
    : m_db(db), m_lock(db.Lock()), m_nested(db.InTransaction()) {
  Statement(m_db, m_nested ? "SAVEPOINT nested" : "BEGIN IMMEDIATE").Run();
}

Transaction::~Transaction() {
  if (m_done) return;
  try {
    m_db.Exec(m_nested ? "ROLLBACK TO nested; RELEASE nested" : "ROLLBACK");
  } catch (...) {  // SQLite may have rolled back already
  }
}

void Transaction::Commit() {
  Statement(m_db, m_nested ? "RELEASE nested" : "COMMIT").Run();
  m_done = true;
}

}  // namespace solvane::server
