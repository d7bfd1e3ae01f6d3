#pragma once
// Makes the running server's statements fail for real: SQL run on its own
// database file through a second connection (a trigger that refuses a write,
// a table renamed away), undone when the fault goes out of scope. The server
// notices the changed schema on its next statement.

#include <gtest/gtest.h>

#include <string>

#include "ServerProcess.h"
#include "storage/Database.h"

namespace solvane::testing {

// The message a refusing trigger gives; it reaches the reply unchanged.
inline constexpr const char* kRefusal = "refused by the test";

// SQL of a trigger named `name` that refuses every `event` ("INSERT",
// "UPDATE", "DELETE") on `table`.
inline std::string RefusingTrigger(const std::string& name, const std::string& event,
                                   const std::string& table) {
  return "CREATE TRIGGER " + name + " BEFORE " + event + " ON " + table +
         " BEGIN SELECT RAISE(ABORT, '" + kRefusal + "'); END";
}

class TStorageFault {
 public:
  TStorageFault(const TServerProcess& server, std::string breakSql, std::string mendSql)
      : m_file(server.DataDir() / "solvane.db"), m_mendSql(std::move(mendSql)) {
    Run(breakSql);
  }
  ~TStorageFault() { Run(m_mendSql); }
  TStorageFault(const TStorageFault&) = delete;
  TStorageFault& operator=(const TStorageFault&) = delete;

 private:
  void Run(const std::string& sql) {
    try {
      solvane::server::Database db(m_file);
      db.Exec(sql);
    } catch (const std::exception& e) {
      ADD_FAILURE() << sql << ": " << e.what();
    }
  }

  std::filesystem::path m_file;
  std::string m_mendSql;
};

// ErrNo and message of a reply as one text, "10 storage error: ..." for a
// failed statement.
inline std::string Outcome(const TQorPack& reply) {
  return std::to_string(reply.ErrNo()) + " " + reply.ErrMsg();
}

}  // namespace solvane::testing
