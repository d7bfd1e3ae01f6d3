// Mail tasks without a server: cache paths and message file names, which
// messages a task takes, the description as a frame value, and the upload's
// calc step on generated stores (reader activated by the task itself,
// current messages, failures counted instead of an empty success).

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "FakeEngineContext.h"
#include "MailStoreFixture.h"
#include "mail/QorWithMCService.h"
#include "tasks/MailTaskPaths.h"
#include "tasks/TTaskObject_File.h"
#include "tasks/TTaskObject_MC.h"

namespace solvane {
namespace {

using testing::FoxmailMessages;
using testing::kFoxAccountID;
using testing::kFoxInboxID;
using testing::MessageText;
using testing::TMailStores;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(MailTaskClasses, KindFiveHundredMakesTheMailTaskOfEachDirection) {
  for (int direction : {0, 1}) {
    TTaskObjectPtr task = CreateTaskObject(kKindMailClient, direction, "ann");
    ASSERT_NE(task, nullptr);
    EXPECT_EQ(task->TaskKind, kKindMailClient);
    EXPECT_EQ(task->TaskDirection, direction);
    EXPECT_EQ(task->UCode, "ann");
    EXPECT_EQ(dynamic_cast<TTaskObject_MC_UP*>(task.get()) != nullptr, direction == 0);
    EXPECT_EQ(dynamic_cast<TTaskObject_MC_Down*>(task.get()) != nullptr, direction == 1);
  }
}

TEST(MailTaskPaths, CacheFoldersStoreFoldersAndExtensions) {
  struct TCase {
    int kind;
    std::string exportFolder, cacheDir, objectFolder, storeFolder, ext;
  };
  const std::vector<TCase> cases = {
      {0, "/c/Foxmail/3/", "/c/Foxmail/3/3001/", "/Foxmail/3/", "/Foxmail/3/3001", ".eml"},
      {1, "/c/Outlook/-1/", "/c/Outlook/-1/3001/", "/Outlook/-1/", "/Outlook/-1/3001", ".msg"},
      {2, "/c/OutlookExpress/3/", "/c/OutlookExpress/3/3001/", "/OutlookExpress/3/",
       "/OutlookExpress/3/3001", ".eml"},
  };
  for (const TCase& c : cases) {
    const std::int64_t parent = c.kind == 1 ? -1 : 3;
    EXPECT_EQ(MailExportFolder("/c", c.kind, parent), c.exportFolder);
    EXPECT_EQ(MailExportFolder("/c/", c.kind, parent), c.exportFolder);
    EXPECT_EQ(MailFolderCacheDirectory("/c", c.kind, parent, 3001), c.cacheDir);
    EXPECT_EQ(MailObjectFolder(c.kind, parent), c.objectFolder);
    EXPECT_EQ(MailStoreFolder(c.kind, parent, 3001), c.storeFolder);
    EXPECT_EQ(MailFileExtension(c.kind), c.ext);
  }
}

TEST(MailTaskPaths, MessageFileNamesAreUniqueAndReadBack) {
  EXPECT_EQ(MailMessageFileName(0, 1001, 7, false, 7), "1001-7.eml");
  EXPECT_EQ(MailMessageFileName(1, 4, 2, false, 2), "4-2.msg");
  EXPECT_EQ(MailMessageFileName(2, 5, 0, true, 3), "5-0-3.eml");
  for (const std::string name : {"1001-7.eml", "4-2.msg", "5-0-3.eml", "5--1.eml"}) {
    const auto parts = ParseMailMessageFileName(name);
    ASSERT_TRUE(parts) << name;
    EXPECT_EQ(MailMessageFileName(name.ends_with(".msg") ? 1 : 0, parts->FolderID, parts->MessageID,
                                  name == "5-0-3.eml", 3),
              name);
  }
  for (const std::string name : {"1001-7.txt", "1001.eml", "a-1.eml", "1-2-3-4.eml", "1-02.eml",
                                 "1-2-0.eml", "-1.eml", ".eml"})
    EXPECT_FALSE(ParseMailMessageFileName(name)) << name;
}

TQorMCFolderObject FolderWithIds(const std::vector<std::int64_t>& ids) {
  TQorMCFolderObject f;
  f.FolderID = 5;
  for (std::int64_t id : ids) f.Messages.Add({.MessageID = id, .FolderID = 5});
  return f;
}

std::vector<std::size_t> Positions(const TMailChoice& c) {
  std::vector<std::size_t> out;
  for (const auto& m : c.Messages) out.push_back(m.Position);
  return out;
}

TEST(MailChoice, WholeFolderSingleMessagesMissingOnesAndRepeatedIds) {
  const TQorMCFolderObject reader = FolderWithIds({1, 0, 2, 0, 3});
  // The reader's own ticks play no part.
  reader.Messages[4].IsSelected = true;

  TQorMCFolderObject whole = FolderWithIds({});
  whole.IsSelected = true;
  const TMailChoice all = ChooseMessages(reader, whole);
  EXPECT_EQ(Positions(all), (std::vector<std::size_t>{1, 2, 3, 4, 5}));
  EXPECT_FALSE(all.Messages[1].RepeatedId);
  EXPECT_TRUE(all.Messages[3].RepeatedId) << "the second message numbered 0";
  EXPECT_TRUE(all.Missing.empty());

  TQorMCFolderObject single = FolderWithIds({2, 0, 9, 1});
  single.Messages[0].IsSelected = single.Messages[1].IsSelected = true;
  single.Messages[2].IsSelected = true;  // not in the folder any more
  const TMailChoice some = ChooseMessages(reader, single);
  EXPECT_EQ(Positions(some), (std::vector<std::size_t>{2, 3})) << "first match of 0; 1 unticked";
  EXPECT_EQ(some.Missing, (std::vector<std::int64_t>{9}));
}

TEST(MailDescription, TravelsAsOneFrameValue) {
  TQorMCMessage m;
  m.MessageID = 0;
  m.Subject =
      "a\x01"
      "b</RecordSet>c\tend";
  m.Sender = "ann@example.org";
  const std::string wire = MailDescriptionForWire(m);
  EXPECT_EQ(wire.find('\r'), std::string::npos);
  EXPECT_EQ(wire.find('\n'), std::string::npos);
  EXPECT_EQ(wire.find('\x01'), std::string::npos);
  EXPECT_TRUE(wire.starts_with("Subject=a b< /RecordSet>c\tend\x02Sender=ann@example.org\x02"))
      << wire;
  EXPECT_NE(wire.find("MessageID=0\x02"), std::string::npos);

  // A 3-byte character across the 65 536-byte limit is left out whole.
  m.Subject = std::string(65527, 'x') + "\xE4\xBD\xA0";
  EXPECT_EQ(MailDescriptionForWire(m), "Subject=" + std::string(65527, 'x'));
}

// The upload's walk and calc steps run directly on a fake context whose
// mail readers find the generated stores through its registry.
class MailUploadCalc : public ::testing::Test {
 protected:
  void SetUp() override {
    ctx.SetPacing(TPacing::Fast);
    ctx.SetCacheFolder(cache.Root());
    stores.WriteFoxmail(FoxmailMessages(3));
    stores.RegisterFoxmail(ctx.MailRegistry());
  }

  static std::shared_ptr<TQorMCFolderObject> Chosen(
      std::int64_t parent, std::int64_t id, bool whole,
      const std::vector<std::int64_t>& messages = {}) {
    auto f = std::make_shared<TQorMCFolderObject>();
    f->ParentID = parent;
    f->FolderID = id;
    f->IsSelected = whole;
    for (std::int64_t m : messages) f->Messages.Add({.MessageID = m, .IsSelected = true});
    return f;
  }

  // A running task of the choice, walked and calculated.
  std::shared_ptr<TTaskObject_MC_UP> Run(int kind,
                                         std::vector<std::shared_ptr<TQorMCFolderObject>> folders) {
    auto task = std::make_shared<TTaskObject_MC_UP>("u1");
    task->TaskID = 946164070;
    task->MCInfo.MCKind = static_cast<std::uint8_t>(kind);
    task->MCInfo.MCFolders = std::move(folders);
    EXPECT_TRUE(task->RequestStart(true, ctx.Now()));
    EXPECT_TRUE(task->MarkRunning());
    task->DetectFolders(ctx);
    while (auto entry = task->FolderList.First()) {
      task->CalcFolder(ctx, entry);
      task->FolderList.Remove(entry);
    }
    return task;
  }

  testsupport::TFakeEngineContext ctx;
  TMailStores stores;
  testing::TTempTree cache;
};

TEST_F(MailUploadCalc, RunBeforeAnyScreenActivatesTheReaderAndQueuesTheWholeFolder) {
  ASSERT_EQ(ctx.MailService().GetReader(kMCKindFoxmail), nullptr);
  auto task = Run(kMCKindFoxmail, {Chosen(kFoxAccountID, kFoxInboxID, true)});

  ASSERT_NE(ctx.MailService().GetReader(kMCKindFoxmail), nullptr);
  EXPECT_EQ(task->FolderList.FolderTotalCount(), 1);
  const auto items = task->PostBag.Snapshot();
  ASSERT_EQ(items.size(), 3u);
  for (int n = 1; n <= 3; ++n) {
    const TPostBagItem& item = *items[n - 1];
    EXPECT_EQ(item.SourcePath, cache.Path("Foxmail/1/1001-" + std::to_string(n) + ".eml"));
    EXPECT_EQ(ReadAll(item.SourcePath), MessageText(n));
    EXPECT_EQ(item.ObjectFolder, "/Foxmail/1/");
    EXPECT_EQ(item.ObjectData, kFoxInboxID);
    EXPECT_EQ(item.ObjectCargo, "0");
    EXPECT_NE(item.ObjectCargo2.find("Subject=note " + std::to_string(n) + "\x02"),
              std::string::npos);
    EXPECT_EQ(item.ObjectSize, static_cast<std::int64_t>(MessageText(n).size()));
    EXPECT_EQ(item.ObjectDate, 673253408);
  }
  EXPECT_EQ(task->PostBag.Counters().FileErrorCount, 0);
}

TEST_F(MailUploadCalc, TakesTheCurrentMessagesAndLeavesTheScreensListAlone) {
  auto lock = LockMailReaders();
  TQorCustomMC* reader = ActiveMailReader(ctx.MailService(), kMCKindFoxmail);
  ASSERT_TRUE(reader && reader->Installed);
  TQorMCFolderObject* inbox = reader->Folders.FindByID(kFoxInboxID);
  ASSERT_NE(inbox, nullptr);
  reader->ReadMessage(*inbox, false);  // as the mail screen does
  SetSelected(*inbox, true);
  lock.unlock();

  stores.WriteFoxmail(FoxmailMessages(4));  // mail arrived since
  auto task = Run(kMCKindFoxmail, {Chosen(kFoxAccountID, kFoxInboxID, true)});
  EXPECT_EQ(task->PostBag.Count(), 4u);
  EXPECT_EQ(inbox->Messages.Count(), 3u);
  EXPECT_TRUE(inbox->Messages[0].IsSelected);
}

TEST_F(MailUploadCalc, ChosenMessagesOnlyAndAChosenMessageGoneCountsAsFailed) {
  auto task = Run(kMCKindFoxmail, {Chosen(kFoxAccountID, kFoxInboxID, false, {3, 9})});
  const auto items = task->PostBag.Snapshot();
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(ReadAll(items[0]->SourcePath), MessageText(3));
  EXPECT_EQ(task->PostBag.Counters().FileErrorCount, 1);
  ASSERT_EQ(task->ErrorBag.Count(), 1u);
  EXPECT_EQ(task->ErrorBag.Snapshot()[0]->SourcePath, cache.Path("Foxmail/1/1001-9.eml"));
}

TEST_F(MailUploadCalc, WhatCannotBeBackedUpIsAFailureNotAnEmptySuccess) {
  struct TCase {
    const char* what;
    int kind;
    std::int64_t folder;
    bool registered;
  };
  const std::vector<TCase> cases = {
      {"unknown folder", kMCKindFoxmail, 4242, true},
      {"Foxmail not installed", kMCKindFoxmail, kFoxInboxID, false},
      {"no Outlook on this machine", kMCKindOutlook, kFoxInboxID, true},
      {"unknown mail client", 7, kFoxInboxID, true},
  };
  for (const TCase& c : cases) {
    testsupport::TFakeEngineContext fresh;
    fresh.SetPacing(TPacing::Fast);
    fresh.SetCacheFolder(cache.Root());
    if (c.registered) stores.RegisterFoxmail(fresh.MailRegistry());
    auto task = std::make_shared<TTaskObject_MC_UP>("u1");
    task->MCInfo.MCKind = static_cast<std::uint8_t>(c.kind);
    task->MCInfo.MCFolders = {Chosen(kFoxAccountID, c.folder, true)};
    ASSERT_TRUE(task->RequestStart(false, fresh.Now()) && task->MarkRunning());
    task->DetectFolders(fresh);
    ASSERT_EQ(task->FolderList.Count(), 1u) << c.what;
    task->CalcFolder(fresh, task->FolderList.First());
    EXPECT_EQ(task->PostBag.Count(), 0u) << c.what;
    EXPECT_EQ(task->PostBag.Counters().FileErrorCount, 1) << c.what;
    EXPECT_EQ(task->PostBag.Counters().TotalFileCount, 1) << c.what;
    EXPECT_EQ(task->ErrorBag.Count(), 1u) << c.what;
  }
}

TEST_F(MailUploadCalc, AMessageThatCannotBeExportedLeavesNoOldCopyToUpload) {
  auto messages = FoxmailMessages(3);
  messages[1].Size = 1 << 20;  // the index claims more bytes than the mailbox holds
  stores.WriteFoxmail(messages);
  const std::string stale = cache.FileWithText("Foxmail/1/1001-2.eml", "an earlier run's copy");

  auto task = Run(kMCKindFoxmail, {Chosen(kFoxAccountID, kFoxInboxID, true)});
  EXPECT_EQ(task->PostBag.Count(), 2u);
  EXPECT_EQ(task->PostBag.Counters().FileErrorCount, 1);
  EXPECT_FALSE(std::filesystem::exists(stale));
}

TEST_F(MailUploadCalc, OutlookExpressFolderIsExportedByteForByte) {
  const auto messages = testing::OeMessages(2);
  stores.WriteOutlookExpress(messages);
  stores.RegisterOutlookExpress(ctx.MailRegistry());
  auto task =
      Run(kMCKindOutlookExpress, {Chosen(testing::kOeParentID, testing::kOeFolderID, true)});
  const auto items = task->PostBag.Snapshot();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0]->SourcePath, cache.Path("OutlookExpress/1/5-101.eml"));
  EXPECT_EQ(ReadAll(items[0]->SourcePath), messages[0].Text);
  EXPECT_EQ(ReadAll(items[1]->SourcePath), messages[1].Text);
  EXPECT_EQ(items[1]->ObjectCargo, "2");
  EXPECT_EQ(task->PostBag.Counters().FileErrorCount, 0);
}

}  // namespace
}  // namespace solvane
