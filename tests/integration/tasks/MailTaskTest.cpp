// Mail tasks through the whole engine against the real server: generated
// Foxmail and Outlook Express folders backed up (chosen messages, then the
// whole folder) and restored byte-identical to what the readers export; a
// task loaded from the server and run before any screen opened the reader;
// folders or messages the server does not hold count as failures.

#include <gtest/gtest.h>

#include <filesystem>

#include "EngineTestSupport.h"
#include "MailStoreFixture.h"
#include "ServerProcess.h"
#include "TaskTestSupport.h"
#include "mail/QorWithMCService.h"
#include "tasks/MailTaskPaths.h"
#include "tasks/TTaskObject_MC.h"
#include "tasks/Unit_Handler_TaskObjectList.h"

namespace solvane {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using enginetest::ReadFile;
using enginetest::TEngineTestContext;
using enginetest::TTempDir;
using enginetest::WaitUntil;

struct TMailCase {
  const char* what;
  int kind;
  std::int64_t parentId, folderId;
  int messages;
};

const TMailCase kFoxmailInbox = {"Foxmail inbox", kMCKindFoxmail, testing::kFoxAccountID,
                                 testing::kFoxInboxID, 5};
const TMailCase kOeFolder = {"Outlook Express folder", kMCKindOutlookExpress, testing::kOeParentID,
                             testing::kOeFolderID, 4};

class MailOnServer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Start());
    server.AddUser("u1", "pw1");
    ASSERT_TRUE(login.Connect(server.Port()));
    ASSERT_TRUE(login.Login("u1", "pw1"));
    ctx.SetPacing(TPacing::Fast);
    ctx.SetUserCode("u1");
    ctx.SetCacheFolder(cache.Path());
    ASSERT_TRUE(ctx.ConnectPool(static_cast<std::uint16_t>(server.Port()), login.Token()));
    ASSERT_TRUE(ctx.AddTransConnections());
    ctx.Engine().SetEngineActive(true);
    stores.WriteFoxmail(testing::FoxmailMessages(kFoxmailInbox.messages, 300000));
    stores.RegisterFoxmail(ctx.MailRegistry());
    stores.WriteOutlookExpress(testing::OeMessages(kOeFolder.messages));
    stores.RegisterOutlookExpress(ctx.MailRegistry());
  }
  void TearDown() override { ctx.Engine().Stop(); }

  static std::shared_ptr<TQorMCFolderObject> Choice(const TMailCase& c,
                                                    const std::vector<std::int64_t>& messages) {
    auto f = std::make_shared<TQorMCFolderObject>();
    f->ParentID = c.parentId;
    f->FolderID = c.folderId;
    f->IsSelected = messages.empty();
    for (std::int64_t id : messages) f->Messages.Add({.MessageID = id, .IsSelected = true});
    return f;
  }

  template <class TTask>
  std::shared_ptr<TTask> NewTask(const TMailCase& c, std::vector<std::int64_t> messages = {}) {
    auto task = std::make_shared<TTask>("u1");
    task->TaskID = ctx.Tasks().NewTaskID(ctx.Now());
    task->TaskName = c.what;
    task->IsTemporary = true;
    task->MCInfo.MCKind = static_cast<std::uint8_t>(c.kind);
    task->MCInfo.MCFolders = {Choice(c, messages)};
    return task;
  }
  std::shared_ptr<TTaskObject_MC_Down> RestoreTask(const TMailCase& c,
                                                   std::vector<std::int64_t> messages = {}) {
    auto task = NewTask<TTaskObject_MC_Down>(c, std::move(messages));
    task->RestoreInfo.IsDefine = 1;
    task->RestoreInfo.CacheFolder = restored.Path();
    return task;
  }

  // Starts the task and waits until its end has been reported.
  void RunToEnd(const TTaskObjectPtr& task, bool scheduled = false) {
    if (!ctx.Tasks().FindTask(task->TaskID)) ctx.Tasks().Add(task);
    ASSERT_TRUE(task->RequestStart(scheduled, ctx.Now()));
    ASSERT_TRUE(WaitUntil(
        [&] { return task->State() == kStateTerminated && ctx.Engine().CurrentTask() == nullptr; },
        30s));
  }

  // Every file below the restore folder: name -> content.
  std::map<std::string, std::string> RestoredFiles(const TMailCase& c) {
    std::map<std::string, std::string> files;
    const fs::path dir = fs::path(restored.Path()) / TQorMCService::GetKindName(c.kind) /
                         std::to_string(c.parentId) / std::to_string(c.folderId);
    if (!fs::exists(dir)) return files;
    for (const auto& e : fs::directory_iterator(dir))
      files[e.path().filename().string()] = ReadFile(e.path().string());
    return files;
  }

  // What the kind's own reader exports for each message: name -> content.
  std::map<std::string, std::string> Exported(const TMailCase& c) {
    TMemoryRegistry registry;
    stores.RegisterFoxmail(registry);
    stores.RegisterOutlookExpress(registry);
    auto reader = DefaultReaderFactory(registry)(static_cast<std::uint8_t>(c.kind));
    reader->Init();
    TQorMCFolderObject* folder = reader->Folders.FindByID(c.folderId);
    EXPECT_NE(folder, nullptr);
    std::map<std::string, std::string> files;
    if (!folder) return files;
    reader->ReadMessage(*folder, false);
    for (const auto& m : folder->Messages) {
      const std::string name = MailMessageFileName(c.kind, c.folderId, m->MessageID, false, 0);
      const std::string path = exported.Path(name);
      EXPECT_TRUE(reader->ExportMessage(*folder, *m, path).Ok);
      files[name] = ReadFile(path);
    }
    return files;
  }

  testing::TServerProcess server;
  testing::TTestClient login;
  TEngineTestContext ctx;
  testing::TMailStores stores;
  TTempDir cache, restored, exported;
};

TEST_F(MailOnServer, ChosenMessagesThenTheWholeFolderComeBackAsTheReaderExportsThem) {
  for (const TMailCase& c : {kFoxmailInbox, kOeFolder}) {
    SCOPED_TRACE(c.what);
    const auto expected = Exported(c);
    ASSERT_EQ(expected.size(), static_cast<std::size_t>(c.messages));
    std::vector<std::int64_t> three;
    for (const auto& [name, bytes] : expected)
      if (three.size() < 3) three.push_back(ParseMailMessageFileName(name)->MessageID);

    auto chosen = NewTask<TTaskObject_MC_UP>(c, three);
    RunToEnd(chosen);
    EXPECT_EQ(chosen->PostBag.Counters().FileDoneCount, 3);
    EXPECT_EQ(chosen->PostBag.Counters().FileErrorCount, 0);

    RunToEnd(RestoreTask(c, three));
    auto files = RestoredFiles(c);
    ASSERT_EQ(files.size(), 3u);
    for (const auto& [name, bytes] : files) EXPECT_EQ(bytes, expected.at(name)) << name;

    auto whole = NewTask<TTaskObject_MC_UP>(c);
    RunToEnd(whole);
    const auto& counters = whole->PostBag.Counters();
    EXPECT_EQ(counters.FileCheckedAndNoChangeCount, 3) << "already stored";
    EXPECT_EQ(counters.FileDoneCount, c.messages - 3);
    EXPECT_EQ(counters.FileErrorCount, 0);

    auto restore = RestoreTask(c);
    RunToEnd(restore);
    EXPECT_EQ(restore->PostBag.Counters().FileDoneCount, c.messages - 3) << "three were there";
    EXPECT_EQ(restore->PostBag.Counters().FileErrorCount, 0);
    EXPECT_EQ(RestoredFiles(c), expected);
  }
  for (const auto& e : fs::recursive_directory_iterator(restored.Path()))
    EXPECT_FALSE(e.path().string().ends_with(".tmp")) << e.path();
}

TEST_F(MailOnServer, TaskLoadedFromTheServerUploadsBeforeAnyScreenOpenedTheReader) {
  testing::TUserClient admin;
  ASSERT_TRUE(admin.SignIn(server, "u1", "pw1"));
  const std::string taskId = "946164070";
  const testing::TFields folder = {
      {"UAdmin", "u1"},          {"UIPAddr", "127.0.0.1"},  {"UMac", "00-11-22-33-44-55"},
      {"UCode", "u1"},           {"TaskID", taskId},        {"MCKind", "0"},
      {"MCFolderParentID", "1"}, {"MCFolderID", "1001"},    {"MCData", "0"},
      {"MCCargo", ""},           {"MCFileName1", "in.box"}, {"MCFileName2", "in.ind"},
      {"MCIsSelected", "0"}};
  auto message = [&](const std::string& id) -> testing::TFields {
    return {{"UAdmin", "u1"},
            {"UIPAddr", "127.0.0.1"},
            {"UMac", "00-11-22-33-44-55"},
            {"UCode", "u1"},
            {"TaskID", taskId},
            {"MCKind", "0"},
            {"MCFolderID", "1001"},
            {"MCMessageID", id},
            {"MCMessageSubject", "note " + id},
            {"MCMessageSender", "sender@example.org"},
            {"MCMessageSentDate", "2008-03-04 10:11:12"},
            {"MCMessageSize", "100"},
            {"MCMessageUpdateDate", "0"},
            {"MCMessageCago", ""}};
  };
  ASSERT_EQ(
      admin.ErrNo("TTask.Insert", testing::TaskDefinition(
                                      "u1", taskId, {{"Kind", "500"}, {"IsEnableSchedule", "0"}})),
      1);
  TQorPack folders = testing::MakeRecords("TTask.SetMCObject", {folder});
  ASSERT_EQ(admin.Send(folders).ErrNo(), 1);
  TQorPack messages =
      testing::MakeRecords("TTask.SetMCObject_Message", {message("2"), message("4")});
  ASSERT_EQ(admin.Send(messages).ErrNo(), 1);

  ASSERT_TRUE(ctx.Tasks().LoadFromServer(ctx));
  auto task = std::dynamic_pointer_cast<TTaskObject_MC_UP>(ctx.Tasks().FindTask(946164070));
  ASSERT_NE(task, nullptr);
  ASSERT_EQ(task->MCInfo.MCFolders.size(), 1u);
  const TQorMCFolderObject& loaded = *task->MCInfo.MCFolders[0];
  EXPECT_EQ(loaded.ParentID, 1);
  EXPECT_FALSE(loaded.IsSelected);
  ASSERT_EQ(loaded.Messages.Count(), 2u);
  EXPECT_EQ(loaded.Messages[1].MessageID, 4);
  EXPECT_EQ(loaded.Messages[1].Subject, "note 4");
  EXPECT_EQ(ctx.MailService().GetReader(kMCKindFoxmail), nullptr) << "no screen opened it";

  RunToEnd(task, true);
  EXPECT_EQ(task->PostBag.Counters().FileDoneCount, 2);
  EXPECT_EQ(task->PostBag.Counters().FileErrorCount, 0);
  TQorPack listing =
      testing::MakeRequest("TBrower.ShowMCObject_Message",
                           {{"UCode", "u1"}, {"MCKindName", "Foxmail"}, {"MCFolder", "1001"}});
  ASSERT_EQ(admin.Send(listing).ErrNo(), 1);
  EXPECT_EQ(testing::Column(listing, "ObjectName"),
            (std::vector<std::string>{"1001-2.eml", "1001-4.eml"}));
}

TEST_F(MailOnServer, FoldersThatCannotBeBackedUpOrRestoredCountAsFailures) {
  TMailCase unknown = kFoxmailInbox;
  unknown.folderId = 4242;
  auto upload = NewTask<TTaskObject_MC_UP>(unknown);
  RunToEnd(upload);
  EXPECT_EQ(upload->PostBag.Counters().FileErrorCount, 1);
  EXPECT_EQ(upload->PostBag.Counters().FileDoneCount, 0);

  auto restore = RestoreTask(unknown);
  RunToEnd(restore);
  EXPECT_EQ(restore->PostBag.Counters().FileErrorCount, 1) << "the server holds no such folder";
  EXPECT_TRUE(RestoredFiles(unknown).empty());

  RunToEnd(NewTask<TTaskObject_MC_UP>(kFoxmailInbox, {1}));
  auto partly = RestoreTask(kFoxmailInbox, {1, 99});
  RunToEnd(partly);
  EXPECT_EQ(partly->PostBag.Counters().FileDoneCount, 1);
  EXPECT_EQ(partly->PostBag.Counters().FileErrorCount, 1) << "message 99 was never stored";
  EXPECT_EQ(RestoredFiles(kFoxmailInbox).size(), 1u);
}

}  // namespace
}  // namespace solvane
