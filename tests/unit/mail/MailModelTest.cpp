// The mail model's selection rules, Describe, and the reader registry.

#include <gtest/gtest.h>

#include <stdexcept>

#include "mail/QorWithMCDefine.h"
#include "mail/QorWithMCService.h"

namespace solvane {
namespace {

TQorMCFolderObject Folder(std::int64_t id, std::vector<std::int64_t> messageIds) {
  TQorMCFolderObject f;
  f.FolderID = id;
  for (std::int64_t m : messageIds) f.Messages.Add({.MessageID = m, .FolderID = id});
  return f;
}

TEST(MailModel, SelectionOfFoldersAndMessages) {
  TQorMCFolderObjectList folders;
  EXPECT_FALSE(folders.HasSelection());
  folders.Add(Folder(1, {10, 11}));
  folders.Add(Folder(2, {20}));
  EXPECT_FALSE(folders.HasSelection());
  folders.FindByID(2)->Messages.FindByID(20)->IsSelected = true;
  EXPECT_TRUE(folders.HasSelection());
  EXPECT_TRUE(HasSelectedMessage(*folders.FindByID(2)));
  EXPECT_FALSE(HasSelectedMessage(*folders.FindByID(1)));

  folders.SetAllSelected(true);
  EXPECT_TRUE(folders[0].IsSelected);
  EXPECT_TRUE(folders[0].Messages[1].IsSelected);
  SetSelected(folders[1], false);
  EXPECT_FALSE(folders[1].IsSelected);
  EXPECT_FALSE(HasSelectedMessage(folders[1]));
  EXPECT_EQ(folders.FindByID(3), nullptr);
}

TEST(MailModel, FindByIdTakesTheFirstMatch) {
  TQorMCFolderObject f = Folder(1, {5, 5});
  f.Messages[1].Subject = "second";
  EXPECT_EQ(f.Messages.FindByID(5), &f.Messages[0]);
  EXPECT_EQ(f.Messages.FindByID(6), nullptr);
}

TEST(MailModel, ApplySelectionCopiesTicksByIdentity) {
  TQorCustomMC reader(kMCKindOutlookExpress);
  reader.Folders.Add(Folder(7, {1, 2, 3}));
  TQorMCFolderObject saved = Folder(7, {3, 99, 1});
  saved.IsSelected = true;
  saved.Messages[0].IsSelected = true;  // 3
  saved.Messages[1].IsSelected = true;  // 99: not held by the reader, skipped
  EXPECT_TRUE(reader.ApplySelection(saved));
  const TQorMCFolderObject& own = reader.Folders[0];
  EXPECT_TRUE(own.IsSelected);
  EXPECT_FALSE(own.Messages[0].IsSelected);
  EXPECT_FALSE(own.Messages[1].IsSelected);
  EXPECT_TRUE(own.Messages[2].IsSelected);

  TQorMCFolderObject unknown = Folder(8, {1});
  unknown.IsSelected = true;
  unknown.Messages[0].IsSelected = true;
  EXPECT_FALSE(reader.ApplySelection(unknown));
  EXPECT_FALSE(reader.Folders[0].Messages[0].IsSelected);
}

TEST(MailModel, DescribeListsNonEmptyValuesInOrder) {
  TLocalDateTime sent{2024, 3, 5, 14, 7, 9};
  TLocalDateTime received{2024, 3, 6, 8, 0, 0};
  TQorMCMessage m;
  m.Subject = "Hi";
  m.Sender = "Ann";
  m.SendDate = *FromLocalDateTime(sent);
  m.ReceiveDate = *FromLocalDateTime(received);
  EXPECT_EQ(Describe(m),
            "Subject=Hi\r\nSender=Ann\r\nSendDate=2024-03-05 14:07:09\r\nMessageID=0\r\n"
            "ReceiveDate=2024-03-06 08:00:00\r\n");
  m.Subject.clear();
  m.Receiver = "Bob";
  m.MessageID = 42;
  EXPECT_EQ(Describe(m),
            "Sender=Ann\r\nSendDate=2024-03-05 14:07:09\r\nMessageID=42\r\nReceiver=Bob\r\n"
            "ReceiveDate=2024-03-06 08:00:00\r\n");
}

// A reader that counts Init calls and can fail in it.
class TCountingReader : public TQorCustomMC {
 public:
  TCountingReader(std::uint8_t kind, int& inits, bool throws)
      : TQorCustomMC(kind), m_inits(inits), m_throws(throws) {}
  void Init() override {
    ++m_inits;
    if (m_throws) throw std::runtime_error("store unreadable");
    Installed = true;
  }

 private:
  int& m_inits;
  bool m_throws;
};

TEST(MailService, ActivationCreatesInitsOnceAndFrees) {
  int inits = 0;
  bool throws = false;
  TQorMCService service([&](std::uint8_t kind) -> std::unique_ptr<TQorCustomMC> {
    return std::make_unique<TCountingReader>(kind, inits, throws);
  });
  EXPECT_EQ(service.GetReader(kMCKindFoxmail), nullptr);
  service.SetFoxmailActive(true);
  service.SetFoxmailActive(true);
  EXPECT_EQ(inits, 1);
  ASSERT_NE(service.GetReader(kMCKindFoxmail), nullptr);
  EXPECT_EQ(service.GetReader(kMCKindFoxmail)->Kind, kMCKindFoxmail);
  EXPECT_EQ(service.GetReader(kMCKindOutlook), nullptr);
  service.SetFoxmailActive(false);
  EXPECT_EQ(service.GetReader(kMCKindFoxmail), nullptr);

  throws = true;
  service.SetOutlookActive(true);
  ASSERT_NE(service.GetReader(kMCKindOutlook), nullptr);
  EXPECT_FALSE(service.GetReader(kMCKindOutlook)->Installed);
  service.SetOutlookActive(true);  // still marked active: no second Init
  EXPECT_EQ(inits, 2);
  EXPECT_EQ(service.GetReader(3), nullptr);
}

TEST(MailService, KindNames) {
  const std::vector<std::pair<int, std::string>> cases = {
      {0, "Foxmail"}, {1, "Outlook"}, {2, "OutlookExpress"}, {3, ""}, {-1, ""}};
  for (const auto& [kind, name] : cases) EXPECT_EQ(TQorMCService::GetKindName(kind), name);
}

}  // namespace
}  // namespace solvane
