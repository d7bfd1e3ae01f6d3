#pragma once
// Makes the running server's statements fail for real: SQL run on its own
// database file through a second connection (a trigger that refuses a write,
// a table renamed away), undone when the fault goes out of scope. The server
// notices the changed schema on its next statement.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

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

// How a failed statement's reply starts.
inline constexpr const char* kStorageError = "10 storage error: ";

// A fault as the SQL that makes it and the SQL that mends it.
using TFaultSql = std::pair<std::string, std::string>;

// Every `event` on `table` refused by a trigger.
inline TFaultSql Refuse(const std::string& event, const std::string& table) {
  return {RefusingTrigger("refuse", event, table), "DROP TRIGGER refuse"};
}

// The table renamed away: every statement on it fails.
inline TFaultSql RenameAway(const std::string& table) {
  return {"ALTER TABLE " + table + " RENAME TO away", "ALTER TABLE away RENAME TO " + table};
}

// An administrator command, its outcome as "exit N <stderr>".
inline std::function<std::string()> AdminOutcome(TServerProcess& server,
                                                 std::vector<std::string> args) {
  return [&server, args] {
    auto r = server.Admin(args);
    return "exit " + std::to_string(r.exitCode) + " " + r.err;
  };
}

// Under `fault`, `act` gives an outcome that starts with `outcome` and holds
// `detail`.
struct TFaultCase {
  const char* what;
  TFaultSql fault;
  std::function<std::string()> act;
  std::string outcome;
  std::string detail;
};

// Runs each case under its fault; afterwards state() must still be
// `unchanged`: a failed statement changed nothing.
inline void ExpectFaultsChangeNothing(const TServerProcess& server,
                                      const std::vector<TFaultCase>& cases,
                                      const std::function<std::string()>& state,
                                      const std::string& unchanged) {
  for (const TFaultCase& c : cases) {
    std::string outcome;
    {
      TStorageFault fault(server, c.fault.first, c.fault.second);
      outcome = c.act();
    }
    EXPECT_EQ(outcome.rfind(c.outcome, 0), 0u) << c.what << ": " << outcome;
    EXPECT_NE(outcome.find(c.detail), std::string::npos) << c.what << ": " << outcome;
    EXPECT_EQ(state(), unchanged) << c.what;
  }
}

}  // namespace solvane::testing
