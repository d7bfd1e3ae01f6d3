// The check stage and a transfer engine against a scripted server: what
// goes on the wire, segment by segment, and how the answers are counted.

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

#include "EngineTestSupport.h"
#include "ScriptedPeer.h"

namespace solvane {
namespace {

using enginetest::MakeCurrent;
using enginetest::PatternBytes;
using enginetest::TEngineTestContext;
using enginetest::TScriptedTask;
using enginetest::TTempDir;
using enginetest::WaitUntil;
using testsupport::TPeerAnswer;
using testsupport::TPeerRequest;

std::vector<std::string> FieldNames(const TPeerRequest& r) { return r.Pack().Fields().Names(); }

std::int64_t Field(const TPeerRequest& r, const char* name) {
  TQorPack p = r.Pack();
  return p.FieldByName(1, name).AsInteger();
}

class TransferWire : public ::testing::Test {
 protected:
  void SetUp() override {
    peer.SetScript([this](const TPeerRequest& r) { return Answer(r); });
    ctx.SetPacing(TPacing::Fast);
    ASSERT_TRUE(ctx.ConnectPool(peer.Port(), {}, 1));
    ASSERT_TRUE(ctx.AddTransConnections());
    task = std::make_shared<TScriptedTask>();
    serial = MakeCurrent(ctx.Engine(), task);
  }

  // The peer is a server from before the requests of many files: it answers
  // them as an unknown operation, and the engine sends one request per file.
  TPeerAnswer Answer(const TPeerRequest& r) {
    TQorPack request = r.Pack();
    TQorPack reply;
    reply.SetFunNo(request.FunNo());
    if (request.FunNo().ends_with("Files")) {
      reply.SetResult(0, "unknown operation: " + request.FunNo());
      return TPeerAnswer::Reply(reply, {});
    }
    const int order = static_cast<int>(request.FieldByName(1, "SegmentOrder").AsInteger());
    reply.SetResult(order == failOrder ? 5 : errNo.load(), {});
    std::string extra;
    if (request.FunNo() == "TUpDown.Check") {
      reply.AddInteger(1, "Action", checkAction);
      if (checkPosition >= 0) reply.AddInteger(1, "refPosition", checkPosition);
      reply.AddInteger(1, "refVerifyValue", 77);
    } else if (request.FunNo() == "TUpDown.DownLoad") {
      const std::size_t from = static_cast<std::size_t>(order - 1) * kSegmentSize;
      if (from < served.size()) extra = served.substr(from, kSegmentSize);
    }
    auto answer = TPeerAnswer::Reply(reply, extra);
    return holdAnswers ? std::move(answer).Held() : answer;
  }

  std::vector<TPeerRequest> RequestsOf(const std::string& funNo) const {
    std::vector<TPeerRequest> out;
    for (auto& r : peer.Requests())
      if (r.Pack().FunNo() == funNo) out.push_back(r);
    return out;
  }

  TPostBagItemPtr Dispatched(TPostBagItemPtr item) {
    item->Action = 1;
    item->EngineIndex = 0;
    task->PostBag.SetState(item, kItemDispatched);
    return item;
  }
  void RunEngine0(const TPostBagItemPtr& item) {
    TTaskTransEngine& engine = ctx.Engine().TransEngines()[0];
    engine.Assign(task, serial, item);
    ASSERT_TRUE(WaitUntil([&] { return engine.IsIdle(); }));
  }

  testsupport::TScriptedPeer peer;
  TEngineTestContext ctx;
  TTempDir dir;
  std::shared_ptr<TScriptedTask> task;
  std::uint64_t serial = 0;
  std::atomic<bool> holdAnswers{false};
  std::atomic<int> errNo{1};
  std::atomic<int> failOrder{-1};
  std::atomic<std::int64_t> checkAction{1};
  std::atomic<std::int64_t> checkPosition{0};
  std::string served;  // set before the engine runs
};

TEST_F(TransferWire, CheckSendsTheFileFieldsInOrderAndKeepsAnAlignedPosition) {
  struct TCase {
    const char* what;
    std::int64_t action, position;
    int errNo;
    bool queued;  // still in the queue, checked
    std::uint8_t expectedAction;
    std::int64_t expectedPosition;
  };
  const TCase cases[] = {
      {"send from a segment start", 1, 524288, 1, true, 1, 524288},
      {"position inside a segment is aligned down", 1, 300000, 1, true, 1, 262144},
      {"position beyond 2 GiB read whole", 1, 3221225472 + 5, 1, true, 1, 3221225472},
      {"no position in the reply", 1, -1, 1, true, 1, 0},
      {"action keeps its low 8 bits", 257, 0, 1, true, 1, 0},
      {"unchanged file leaves the queue", 0, 0, 1, false, 0, 0},
      {"failed check goes to the error bag", 1, 0, 7, false, 0, 0},
  };
  const std::string file = dir.Path("report.doc");
  enginetest::WriteFile(file, "abc");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    task->ResetRuntime();
    checkAction = c.action;
    checkPosition = c.position;
    errNo = c.errNo;
    auto item = task->PostBag.AddLocalFile(file);
    ASSERT_TRUE(ctx.Engine().CheckEngine().CheckOne());
    const auto& counters = task->PostBag.Counters();
    EXPECT_EQ(task->PostBag.Count(), c.queued ? 1u : 0u);
    if (c.errNo != 1) {
      EXPECT_EQ(item->ItemState, kItemFailed);
      EXPECT_EQ(task->ErrorBag.Count(), 1u);
      EXPECT_EQ(counters.FileErrorCount, 1);
      EXPECT_EQ(counters.FileCheckedCount, 0);
      continue;
    }
    EXPECT_EQ(item->ItemState, kItemChecked);
    EXPECT_EQ(item->Action, c.expectedAction);
    EXPECT_EQ(item->refPosition, c.expectedPosition);
    EXPECT_EQ(item->refVerifyValue, 77);
    EXPECT_EQ(counters.FileCheckedCount, 1);
    EXPECT_EQ(counters.FileCheckedAndNoChangeCount, c.action == 0 ? 1 : 0);
    EXPECT_EQ(counters.FileCheckedAndNeedUpCount, c.action == 0 ? 0 : 1);
  }
  EXPECT_FALSE(ctx.Engine().CheckEngine().CheckOne()) << "nothing new left";

  EXPECT_FALSE(RequestsOf("TUpDown.CheckFiles").empty()) << "tried first";
  const auto checks = RequestsOf("TUpDown.Check");
  ASSERT_FALSE(checks.empty());
  EXPECT_EQ(FieldNames(checks[0]),
            (std::vector<std::string>{"UCode", "TaskID", "TaskKind", "ObjectID", "ObjectName",
                                      "ObjectFolder", "ObjectData", "ObjectCargo", "ObjectCargo2",
                                      "ObjectSize", "ObjectDate", "Position", "Action"}));
  TQorPack first = checks[0].Pack();
  EXPECT_EQ(first.FieldByName(1, "ObjectName").AsString(), "report.doc");
  EXPECT_EQ(first.FieldByName(1, "ObjectFolder").AsString(), dir.Path());
  EXPECT_EQ(first.FieldByName(1, "ObjectSize").AsInteger(), 3);
  EXPECT_EQ(first.FieldByName(1, "TaskID").AsInteger(), 1001);
}

TEST_F(TransferWire, CheckOfATaskPausedBeforeOrDuringTheCallLeavesTheItemNew) {
  auto item = task->PostBag.AddLocalFile(dir.Path("x"));
  ASSERT_TRUE(task->Pause(false));
  EXPECT_FALSE(ctx.Engine().CheckEngine().CheckOne());
  EXPECT_TRUE(RequestsOf("TUpDown.Check").empty());
  ASSERT_TRUE(task->Resume(false, true));

  holdAnswers = true;
  std::thread check([&] { EXPECT_FALSE(ctx.Engine().CheckEngine().CheckOne()); });
  ASSERT_TRUE(peer.WaitForRequests(1));
  ASSERT_TRUE(task->Pause(false));
  peer.ReleaseHeld();
  check.join();
  EXPECT_EQ(item->ItemState, kItemNew) << "the answer came for a task no longer running";
  EXPECT_EQ(task->PostBag.Counters().FileCheckedCount, 0);
}

TEST_F(TransferWire, UploadSendsSegmentsFromTheAlignedPositionAndCountsTheFile) {
  struct TSegment {
    std::int64_t order, offset, size;
  };
  struct TCase {
    const char* what;
    std::int64_t size, refPosition, count;
    std::vector<TSegment> segments;
  };
  const std::vector<TCase> cases = {
      {"exactly one segment", 262144, 0, 1, {{1, 0, 262144}}},
      {"one byte more", 262145, 0, 2, {{1, 0, 262144}, {2, 262144, 1}}},
      {"resumed at 524288", 1000000, 524288, 4, {{3, 524288, 262144}, {4, 786432, 213568}}},
      {"resume inside a segment starts at its beginning",
       1000000,
       300000,
       4,
       {{2, 262144, 262144}, {3, 524288, 262144}, {4, 786432, 213568}}},
      {"empty file: no call", 0, 0, 0, {}},
  };
  int seen = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    task->ResetRuntime();
    const std::string path = dir.Path("f" + std::to_string(c.size));
    const std::string bytes = PatternBytes(static_cast<std::size_t>(c.size));
    enginetest::WriteFile(path, bytes);
    auto item = Dispatched(task->PostBag.AddLocalFile(path));
    item->refPosition = c.refPosition;
    RunEngine0(item);

    const auto uploads = RequestsOf("TUpDown.UpLoad");
    ASSERT_EQ(uploads.size(), seen + c.segments.size());
    for (std::size_t i = 0; i < c.segments.size(); ++i) {
      const auto& r = uploads[seen + i];
      EXPECT_EQ(Field(r, "SegmentCount"), c.count);
      EXPECT_EQ(Field(r, "SegmentOrder"), c.segments[i].order);
      EXPECT_EQ(Field(r, "Source_Offset"), c.segments[i].offset);
      EXPECT_EQ(Field(r, "Source_Size"), c.segments[i].size);
      EXPECT_EQ(r.Extra, bytes.substr(c.segments[i].offset, c.segments[i].size));
    }
    seen = static_cast<int>(uploads.size());
    EXPECT_EQ(item->ItemState, kItemDone);
    EXPECT_EQ(task->PostBag.Count(), 0u);
    EXPECT_EQ(task->PostBag.Counters().FileDoneCount, 1);
    EXPECT_EQ(task->PostBag.Counters().TotalDoneFileSize, c.size);
    EXPECT_EQ(task->ScreenContext(0).Percent, c.segments.empty() ? 0 : 100);
  }
  EXPECT_EQ(FieldNames(RequestsOf("TUpDown.UpLoad").front()),
            (std::vector<std::string>{"UCode", "TaskID", "SessionID", "TaskKind", "ObjectName",
                                      "ObjectFolder", "ObjectData", "ObjectCargo", "ObjectCargo2",
                                      "ObjectSize", "ObjectDate", "SegmentCount", "SegmentOrder",
                                      "Source_Offset", "Source_Size"}));
}

TEST_F(TransferWire, UploadFailsOnARefusedSegmentOrAMissingFile) {
  const std::string path = dir.Path("big");
  enginetest::WriteFile(path, PatternBytes(600000));
  failOrder = 2;
  auto refused = Dispatched(task->PostBag.AddLocalFile(path));
  RunEngine0(refused);
  EXPECT_EQ(RequestsOf("TUpDown.UpLoad").size(), 2u) << "the loop ends at the refusal";
  EXPECT_EQ(refused->ItemState, kItemFailed);

  auto missing = Dispatched(task->PostBag.AddLocalFile(dir.Path("gone")));
  RunEngine0(missing);
  EXPECT_EQ(RequestsOf("TUpDown.UpLoad").size(), 2u);
  EXPECT_EQ(missing->ItemState, kItemFailed);

  EXPECT_EQ(task->PostBag.Counters().FileErrorCount, 2);
  EXPECT_EQ(task->PostBag.Counters().FileDoneCount, 0);
  EXPECT_EQ(task->ErrorBag.Count(), 2u);
  EXPECT_EQ(task->PostBag.Count(), 0u);
}

// An engine step that raises an error while moving one file: that file
// fails with the reason shown to the user, and the engine takes the next.
TEST_F(TransferWire, AFileWhoseTransferRaisesAnErrorFailsWithItsReasonAndTheNextGoesOn) {
  std::atomic<bool> armed{true};
  ctx.SetPaceHook([&](int ms) {
    if (ms == TTaskTransEngine::kSegmentPauseMs && armed.exchange(false))
      throw std::runtime_error("read fault on the disk");
  });
  const std::string broken = dir.Path("broken.bin"), next = dir.Path("next.bin");
  enginetest::WriteFile(broken, PatternBytes(1000, 1));
  enginetest::WriteFile(next, PatternBytes(1000, 2));
  auto first = Dispatched(task->PostBag.AddLocalFile(broken));
  RunEngine0(first);
  auto second = Dispatched(task->PostBag.AddLocalFile(next));
  RunEngine0(second);

  EXPECT_EQ(first->ItemState, kItemFailed);
  EXPECT_EQ(second->ItemState, kItemDone);
  EXPECT_EQ(task->PostBag.Counters().FileErrorCount, 1);
  EXPECT_EQ(task->PostBag.Counters().FileDoneCount, 1);
  ASSERT_EQ(task->ErrorBag.Count(), 1u);
  const auto notes = ctx.RecordedNotes();
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_NE(notes[0].Text.find(broken), std::string::npos) << notes[0].Text;
  EXPECT_NE(notes[0].Text.find("read fault on the disk"), std::string::npos) << notes[0].Text;
  EXPECT_EQ(notes[0].Kind, kNoteError);
}

// Small files handed to an engine together go one request per file to a
// server that does not know the requests of many files.
TEST_F(TransferWire, SmallFilesTogetherGoOneByOneToAServerWithoutTheRequestsOfManyFiles) {
  std::vector<TPostBagItemPtr> ups;
  for (int i = 0; i < 3; ++i) {
    const std::string path = dir.Path("small" + std::to_string(i));
    enginetest::WriteFile(path, PatternBytes(100 + i));
    ups.push_back(Dispatched(task->PostBag.AddLocalFile(path)));
  }
  TTaskTransEngine& engine = ctx.Engine().TransEngines()[0];
  engine.Assign(task, serial, ups);
  ASSERT_TRUE(WaitUntil([&] { return engine.IsIdle(); }));
  EXPECT_EQ(RequestsOf("TUpDown.UpLoadFiles").size(), 1u);
  const auto uploads = RequestsOf("TUpDown.UpLoad");
  ASSERT_EQ(uploads.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(uploads[i].Extra, PatternBytes(100 + i));
    EXPECT_EQ(ups[i]->ItemState, kItemDone);
  }

  task->ResetRuntime();
  task->TaskDirection = 1;
  served = PatternBytes(50, 3);
  std::vector<TPostBagItemPtr> downs;
  for (int i = 0; i < 2; ++i)
    downs.push_back(Dispatched(task->PostBag.AddDownload(
        "/home/ann/d" + std::to_string(i), dir.Path("back" + std::to_string(i)), -1, 7, 946164070,
        50)));
  engine.Assign(task, serial, downs);
  ASSERT_TRUE(WaitUntil([&] { return engine.IsIdle(); }));
  EXPECT_EQ(RequestsOf("TUpDown.DownLoadFiles").size(), 1u);
  EXPECT_EQ(RequestsOf("TUpDown.DownLoad").size(), 2u);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(downs[i]->ItemState, kItemDone);
    EXPECT_EQ(enginetest::ReadFile(dir.Path("back" + std::to_string(i))), served);
  }
}

TEST_F(TransferWire, DownloadWritesTheSegmentsAndPutsOnlyACompleteFileInPlace) {
  struct TCase {
    const char* what;
    std::size_t size;   // what the listing says
    std::size_t serve;  // what the server has
    int errNo;
    bool done;
    std::size_t calls;
  };
  const TCase cases[] = {
      {"three segments", 600000, 600000, 1, true, 3},
      {"empty file: one call", 0, 0, 1, true, 1},
      {"empty first answer", 600000, 0, 1, false, 1},
      {"server short of the size", 600000, 300000, 1, false, 3},
      {"refused", 600000, 600000, 4, false, 1},
  };
  std::size_t seen = 0;
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    task->ResetRuntime();
    served = PatternBytes(c.serve, 3);
    errNo = c.errNo;
    const std::string target = dir.Path("restore" + std::to_string(++n) + ".bin");
    auto item = task->PostBag.AddDownload("/home/ann/data.bin", target, -1, 7, 946164070,
                                          static_cast<std::int64_t>(c.size));
    task->TaskDirection = 1;
    RunEngine0(Dispatched(item));
    const auto downloads = RequestsOf("TUpDown.DownLoad");
    EXPECT_EQ(downloads.size() - seen, c.calls);
    for (std::size_t i = seen; i < downloads.size(); ++i)
      EXPECT_EQ(Field(downloads[i], "SegmentOrder"), static_cast<std::int64_t>(i - seen + 1));
    seen = downloads.size();
    EXPECT_EQ(item->ItemState, c.done ? kItemDone : kItemFailed);
    EXPECT_EQ(std::filesystem::exists(target), c.done) << "never a half-written target";
    if (c.done) {
      EXPECT_EQ(enginetest::ReadFile(target), served);
      EXPECT_FALSE(std::filesystem::exists(target + ".tmp"));
    }
  }
  const auto first = RequestsOf("TUpDown.DownLoad").front();
  EXPECT_EQ(FieldNames(first),
            (std::vector<std::string>{"UCode", "TaskKind", "ObjectName", "ObjectFolder",
                                      "ObjectData", "ObjectCargo", "ObjectCargo2", "ObjectSize",
                                      "ObjectDate", "SegmentCount", "SegmentOrder"}));
  TQorPack p = first.Pack();
  EXPECT_EQ(p.FieldByName(1, "ObjectName").AsString(), "data.bin");
  EXPECT_EQ(p.FieldByName(1, "ObjectFolder").AsString(), "/home/ann");
  EXPECT_EQ(p.FieldByName(1, "UCode").AsString(), "u1");
  EXPECT_EQ(p.FieldByName(1, "SegmentCount").AsInteger(), 3);
}

}  // namespace
}  // namespace solvane
