#pragma once
// The task engine against a real solvane-server: a fixture that starts the
// server with user "u1" (password "pw1", 500 MB), signs in, gives the engine
// the pool with its five Trans connections and the fast pacing, and reads the
// run's reported failures back from the server. TFiles is the file access the
// engine goes through (a TFileAccessWrapper a test can make fail). Link
// solvane_server_process and solvane_engine_test_support.

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "EngineTestSupport.h"
#include "ServerProcess.h"

namespace solvane::enginetest {

template <class TFiles>
class TEngineOnServer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Start());
    server.AddUser("u1", "pw1", {"--space", "500"});
    testing::TTestClient login;
    ASSERT_TRUE(login.Connect(server.Port()));
    ASSERT_TRUE(login.Login("u1", "pw1"));
    ctx.SetPacing(TPacing::Fast);
    ctx.SetUserCode("u1");
    ASSERT_TRUE(ctx.ConnectPool(static_cast<std::uint16_t>(server.Port()), login.Token()));
    ASSERT_TRUE(ctx.AddTransConnections());
    ctx.SetFileAccess(&faultyFiles);
    ctx.Engine().SetEngineActive(true);
    ctx.SetPaceHook([this](int ms) {
      if (ms != TTaskTransEngine::kSegmentPauseMs) return;
      if (++segments == stopAfterSegments) stopTarget.load()->RequestStop(false);
    });
  }
  void TearDown() override { ctx.Engine().Stop(); }

  // Before a run of task: counts its segments from zero and, unless
  // stopAfter is -1, stops it once that many segments have moved.
  void WatchSegments(TTaskObject& task, int stopAfter) {
    segments = 0;
    stopAfterSegments = stopAfter;
    stopTarget = &task;
  }

  // A failed file of a run as the server recorded it.
  struct TReportedFailure {
    std::string name;    // "ObjectName"
    std::string reason;  // "ObjectComment"
  };
  std::vector<TReportedFailure> ReportedFailuresOf(const TTaskObject& task) {
    testing::TTestClient reader;
    EXPECT_TRUE(reader.Connect(server.Port()) && reader.Login("u1", "pw1"));
    TQorPack query = testing::MakeRequest("TLog.TaskLog_SelectErrorObject",
                                          {{"UCode", "u1"},
                                           {"TaskID", std::to_string(task.TaskID)},
                                           {"TaskKind", std::to_string(task.TaskKind)},
                                           {"SessionID", std::to_string(task.SessionID)}});
    EXPECT_TRUE(reader.CallOk(query));
    std::vector<TReportedFailure> failures;
    for (int n = 1; n <= query.RecordSetCount(); ++n)
      failures.push_back({query.FieldByName(n, "ObjectName").AsString(),
                          query.FieldByName(n, "ObjectComment").AsString()});
    return failures;
  }

  testing::TServerProcess server;
  TFiles faultyFiles;  // declared before ctx: the engine uses it to the end
  TEngineTestContext ctx;
  TTempDir dir, restoreDir;
  std::atomic<int> segments{0};
  std::atomic<int> stopAfterSegments{-1};
  std::atomic<TTaskObject*> stopTarget{nullptr};
};

}  // namespace solvane::enginetest
