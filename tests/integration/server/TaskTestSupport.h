#pragma once
// Helpers of the task, policy and log tests: calls by operation name and
// field list, reading a reply column, and the fields of a full task
// definition as the task settings dialog sends them.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "ServerProcess.h"

namespace solvane::testing {

using TFields = std::vector<std::pair<std::string, std::string>>;

// A signed-in connection of one user.
class TUserClient {
 public:
  bool SignIn(const TServerProcess& server, const std::string& code, const std::string& pwd) {
    m_code = code;
    return m_client.Connect(server.Port()) && m_client.Login(code, pwd);
  }
  const std::string& Code() const { return m_code; }

  // The reply (ErrNo -99 when no reply came).
  TQorPack Call(const std::string& funNo, const TFields& fields) {
    TQorPack p = MakeRequest(funNo, fields);
    return Send(p);
  }
  TQorPack Send(TQorPack& p) {
    if (!m_client.Call(p)) p.SetResult(-99, "no reply");
    return p;
  }
  int ErrNo(const std::string& funNo, const TFields& fields) { return Call(funNo, fields).ErrNo(); }

 private:
  TTestClient m_client;
  std::string m_code;
};

// The values of one field over every record set of a reply.
inline std::vector<std::string> Column(TQorPack& reply, const std::string& field) {
  std::vector<std::string> values;
  for (int n = 1; n <= reply.RecordSetCount(); ++n)
    values.push_back(reply.FieldByName(n, field).AsString());
  return values;
}

// A request whose record sets are the given field lists, in order.
inline TQorPack MakeRecords(const std::string& funNo, const std::vector<TFields>& records) {
  TQorPack p;
  p.SetFunNo(funNo);
  int n = 0;
  for (const auto& record : records) {
    ++n;
    for (const auto& [name, value] : record) p.AddString(n, name, value);
  }
  return p;
}

// "TTask.Insert" / "TTask.Update" fields in the dialog's order; `changes`
// replace or (when new) append values.
inline TFields TaskDefinition(const std::string& user, const std::string& taskId,
                              const TFields& changes = {}) {
  TFields f = {{"UAdmin", user},
               {"UIPAddr", "127.0.0.1"},
               {"UMAC", "00-0C-29-3A-5B-7C"},
               {"UCode", user},
               {"TaskID", taskId},
               {"Kind", "100"},
               {"Name", "文档备份"},
               {"IsDownTask", "0"},
               {"IsTemporary", "0"},
               {"Comment", "line1\x02line2"},
               {"BackupMode", "1"},
               {"IsEnableSchedule", "1"},
               {"Schedule_StartTime", "2008-03-05 09:30:14"},
               {"DelayExecuteMinute", "25"},
               {"Schedule_Kind", "2"},
               {"Periodical_Days", "1"},
               {"Periodical_Hours", "2"},
               {"Periodical_Minites", "15"},
               {"Daily_Days", "3"},
               {"Weekly_Weeks", "4"},
               {"IsWeekly_Day1", "0"},
               {"IsWeekly_Day2", "1"},
               {"IsWeekly_Day3", "0"},
               {"IsWeekly_Day4", "0"},
               {"IsWeekly_Day5", "0"},
               {"IsWeekly_Day6", "0"},
               {"IsWeekly_Day7", "1"},
               {"Monthly_Prefix", "3"},
               {"Monthly_Day", "6"},
               {"Monthly_Months", "5"}};
  for (const auto& [name, value] : changes) {
    bool found = false;
    for (auto& field : f)
      if (field.first == name) {
        field.second = value;
        found = true;
      }
    if (!found) f.emplace_back(name, value);
  }
  return f;
}

// Fields without the named ones (a request that does not carry them).
inline TFields Without(TFields f, const std::vector<std::string>& names) {
  std::erase_if(f, [&](const auto& field) {
    return std::find(names.begin(), names.end(), field.first) != names.end();
  });
  return f;
}

}  // namespace solvane::testing
