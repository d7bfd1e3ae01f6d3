// The Foxmail reader on generated stores: store location from the registry,
// accounts and mailboxes, messages, byte-identical export, broken stores.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>

#include "FoxmailStoreWriter.h"
#include "mail/QorWithMCFoxmail.h"
#include "mail/QorWithMCService.h"
#include "platform/LocalTime.h"
#include "platform/MemoryRegistry.h"

namespace solvane {
namespace {

namespace fs = std::filesystem;
using test::MakeFoxmailAccounts;
using test::MakeFoxmailMailbox;
using test::TFoxmailMessageSpec;

const char kFoxmailKey[] = "\\Software\\Aerofox\\Foxmail\\V3.1";
const std::string kGbkName = "\xD5\xC5\xC8\xFD";     // 张三
const std::string kGbkSubject = "\xC4\xE3\xBA\xC3";  // 你好

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

DateTime Local(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  TLocalDateTime t;
  t.year = y, t.month = mo, t.day = d, t.hour = h, t.minute = mi, t.second = s;
  return *FromLocalDateTime(t);
}

// A Foxmail directory in a temporary folder, named in a registry through an
// environment reference, with two accounts: "张三" (an inbox) and "bob".
class FoxmailReader : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    m_root = fs::temp_directory_path() / (std::string("solvane-fox-") + info->name() + "-" +
                                          std::to_string(std::random_device{}()));
    fs::remove_all(m_root);
    fs::create_directories(m_root / "Foxmail" / "mail" / "ann");
    fs::create_directories(m_root / "Foxmail" / "mail" / "bob");
    m_registry.WriteString(TRegistryRoot::CurrentUser, kFoxmailKey, "FoxMailPath",
                           "%FOXHOME%/Foxmail/Foxmail.exe");
    Write("Foxmail/accounts.cfg",
          MakeFoxmailAccounts({{kGbkName, AnnDir() + "/"}, {"bob", BobDir()}}));
  }
  void TearDown() override { fs::remove_all(m_root); }

  std::string AnnDir() const { return (m_root / "Foxmail" / "mail" / "ann").string(); }
  std::string BobDir() const { return (m_root / "Foxmail" / "mail" / "bob").string(); }
  std::string File(const std::string& rel) const { return (m_root / rel).string(); }
  void Write(const std::string& rel, const std::string& bytes) const {
    std::ofstream(File(rel), std::ios::binary) << bytes;
  }
  void WriteInbox(const test::TFoxmailMailbox& mb) const {
    Write("Foxmail/mail/ann/in.box", mb.Box);
    Write("Foxmail/mail/ann/in.ind", mb.Index);
  }
  TEnvLookup Env() const {
    const std::string home = m_root.string();
    return [home](std::string_view name) -> std::optional<std::string> {
      if (name == "FOXHOME") return home;
      return std::nullopt;
    };
  }
  // A reader with its accounts read.
  std::unique_ptr<TQorFoxMail> Open() {
    auto reader = std::make_unique<TQorFoxMail>(m_registry, Env());
    reader->Init();
    return reader;
  }

  fs::path m_root;
  TMemoryRegistry m_registry;
};

TEST_F(FoxmailReader, FindsTheDirectoryThroughTheRegistry) {
  TQorFoxMail reader(m_registry, Env());
  EXPECT_EQ(reader.Kind, kMCKindFoxmail);
  EXPECT_TRUE(reader.Installed);
  EXPECT_FALSE(reader.Loaded);
  EXPECT_EQ(reader.FoxmailDirectory(), File("Foxmail") + "/");

  const std::vector<std::pair<const char*, std::optional<std::string>>> notInstalled = {
      {"no value", std::nullopt}, {"no directory part", "Foxmail.exe"}, {"empty", ""}};
  for (const auto& [what, value] : notInstalled) {
    SCOPED_TRACE(what);
    TMemoryRegistry registry;
    if (value) registry.WriteString(TRegistryRoot::CurrentUser, kFoxmailKey, "FoxMailPath", *value);
    TQorFoxMail missing(registry, Env());
    EXPECT_FALSE(missing.Installed);
    missing.Init();
    EXPECT_FALSE(missing.Loaded);
    EXPECT_TRUE(missing.Folders.Empty());
  }
}

TEST_F(FoxmailReader, AccountsGetTheirFiveMailboxes) {
  const auto reader = Open();
  EXPECT_TRUE(reader->Loaded);
  ASSERT_EQ(reader->Folders.Count(), 12u);
  const std::vector<std::tuple<std::int64_t, std::int64_t, std::string, std::string, std::string>>
      expected = {
          {2, -1, "张三", "", ""},
          {2001, 2, "收件箱", "in.box", "in.ind"},
          {2002, 2, "发件箱", "out.box", "out.ind"},
          {2003, 2, "已发送邮件箱", "sent.box", "sent.ind"},
          {2004, 2, "垃圾邮件箱", "spam.box", "spam.ind"},
          {2005, 2, "废件箱", "trash.box", "trash.ind"},
          {1, -1, "bob", "", ""},
          {1001, 1, "收件箱", "in.box", "in.ind"},
      };
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const auto& f = reader->Folders[i];
    const auto& [id, parent, name, box, index] = expected[i];
    EXPECT_EQ(f.FolderID, id);
    EXPECT_EQ(f.ParentID, parent);
    EXPECT_EQ(f.Name, name);
    EXPECT_EQ(f.FileName1, box);
    EXPECT_EQ(f.FileName2, index);
    EXPECT_EQ(f.Cargo, i < 6 ? AnnDir() + "/" : BobDir());
  }
}

TEST_F(FoxmailReader, ListsMessagesByRecordNumberAndExportsTheirBytes) {
  // Zero and non-GBK bytes in the body are exported as they are.
  const char first[] = "From: ann\r\nDate: Mon, 05 Jan 2009 08:15:00 +0800\r\n\r\nbody\0\xFF\x80";
  const auto mb = MakeFoxmailMailbox({
      {std::string(first, sizeof first - 1), "ann@x", kGbkSubject},
      {"From: gone\r\n\r\n", "gone", "gone", true},
      {"From: bob\r\nDate: Tue, 06 Jan 2009 09:00:00 +0100\r\n\r\nbad zone\r\n",
       std::string("b\0b", 3), "\x81\x20"},
  });
  WriteInbox(mb);
  const auto reader = Open();
  auto& inbox = *reader->Folders.FindByID(2001);
  reader->ReadMessage(inbox, false);
  EXPECT_TRUE(inbox.IsLoaded);
  ASSERT_EQ(inbox.Messages.Count(), 2u);
  const TQorMCMessage& m1 = inbox.Messages[0];
  const TQorMCMessage& m3 = inbox.Messages[1];
  EXPECT_EQ(m1.MessageID, 1);
  EXPECT_EQ(m3.MessageID, 3);  // the deleted record keeps its number
  EXPECT_EQ(m1.FolderID, 2001);
  EXPECT_EQ(m1.Sender, "ann@x");
  EXPECT_EQ(m1.Subject, "你好");
  EXPECT_EQ(m3.Sender, "b");
  EXPECT_FALSE(m3.Subject.empty());  // not valid GBK: replaced, not dropped
  EXPECT_EQ(m1.SendDate, Local(2009, 1, 5, 8, 15, 0));
  EXPECT_EQ(m3.SendDate, Local(2006, 1, 1));
  EXPECT_EQ(m1.ReceiveDate, Local(2006, 1, 1));
  EXPECT_EQ(m1.Offset, static_cast<std::int64_t>(mb.Offsets[0]));

  for (std::size_t i : {0u, 1u}) {
    const TQorMCMessage& m = inbox.Messages[i];
    const std::string target = File("out/" + std::to_string(i) + "/m.eml");
    const auto result = reader->ExportMessage(inbox, m, target);
    ASSERT_TRUE(result.Ok) << result.Error;
    EXPECT_EQ(ReadAll(target), mb.Box.substr(static_cast<std::size_t>(m.Offset), m.Size));
  }
  // The store files are only read.
  EXPECT_EQ(ReadAll(File("Foxmail/mail/ann/in.box")), mb.Box);
  EXPECT_EQ(ReadAll(File("Foxmail/mail/ann/in.ind")), mb.Index);
}

TEST_F(FoxmailReader, HostileRecordsAreListedButNeverExported) {
  const auto mb = MakeFoxmailMailbox({
      {"From: a\r\n\r\nok\r\n", "a", "fine"},
      {"From: b\r\n\r\n", "b", "past the end", false, 1 << 30},
      {"From: c\r\n\r\n", "c", "too long", false, std::nullopt, 0xFFFFFFu},
      {"From: d\r\n\r\n", "d", "negative", false, -20},
      {"From: e\r\n\r\n", "e", "empty", false, std::nullopt, 0u},
      {"From: f\r\n\r\nlast\r\n", "f", "fine too"},
  });
  WriteInbox(mb);
  const auto reader = Open();
  auto& inbox = *reader->Folders.FindByID(2001);
  reader->ReadMessage(inbox, false);
  ASSERT_EQ(inbox.Messages.Count(), 6u);
  for (std::size_t i = 0; i < inbox.Messages.Count(); ++i) {
    SCOPED_TRACE(i);
    const TQorMCMessage& m = inbox.Messages[i];
    const std::string target = File("out/" + std::to_string(i) + ".eml");
    const bool sound = i == 0 || i == 5;
    EXPECT_EQ(reader->ExportMessage(inbox, m, target).Ok, sound);
    EXPECT_EQ(fs::exists(target), sound);
    if (sound) {
      EXPECT_EQ(ReadAll(target), mb.Box.substr(mb.Offsets[i], m.Size));
    }
  }
  TQorMCMessage unknown = inbox.Messages[0];
  unknown.MessageID = 0;
  EXPECT_FALSE(reader->ExportMessage(inbox, unknown, File("out/x.eml")).Ok);
}

TEST_F(FoxmailReader, MissingFilesFollowTheirOwnRules) {
  const auto mb = MakeFoxmailMailbox({{"From: a\r\n\r\n", "a", "s"}});
  auto reader = Open();
  auto& inbox = *reader->Folders.FindByID(2001);
  // No index: nothing listed, the folder is not marked loaded.
  reader->ReadMessage(inbox, false);
  EXPECT_FALSE(inbox.IsLoaded);
  // An index without its mailbox: nothing listed, but the folder is loaded.
  Write("Foxmail/mail/ann/in.ind", mb.Index);
  reader->ReadMessage(inbox, false);
  EXPECT_TRUE(inbox.IsLoaded);
  EXPECT_TRUE(inbox.Messages.Empty());
  // Loaded folders are read again only when forced.
  Write("Foxmail/mail/ann/in.box", mb.Box);
  reader->ReadMessage(inbox, false);
  EXPECT_TRUE(inbox.Messages.Empty());
  reader->ReadMessage(inbox, true);
  EXPECT_EQ(inbox.Messages.Count(), 1u);
  // An account folder has no index file.
  auto& account = *reader->Folders.FindByID(2);
  reader->ReadMessage(account, false);
  EXPECT_TRUE(account.Messages.Empty());

  fs::remove(File("Foxmail/accounts.cfg"));
  TQorFoxMail noAccounts(m_registry, Env());
  noAccounts.Init();
  EXPECT_TRUE(noAccounts.Installed);
  EXPECT_FALSE(noAccounts.Loaded);
  EXPECT_TRUE(noAccounts.Folders.Empty());
}

TEST_F(FoxmailReader, EveryTruncatedStoreKeepsWhatIsWhole) {
  const auto mb = MakeFoxmailMailbox({{"From: a\r\n\r\none\r\n", "a", "1"},
                                      {"From: b\r\n\r\ntwo\r\n", "b", "2"},
                                      {"From: c\r\n\r\nthree\r\n", "c", "3"}});
  const std::string cfg = ReadAll(File("Foxmail/accounts.cfg"));
  for (std::size_t cut = 0; cut < mb.Index.size(); cut += 7) {
    SCOPED_TRACE(cut);
    Write("Foxmail/accounts.cfg", cfg.substr(0, cfg.size() - cut * cfg.size() / mb.Index.size()));
    Write("Foxmail/mail/ann/in.ind", mb.Index.substr(0, cut));
    Write("Foxmail/mail/ann/in.box", mb.Box.substr(0, mb.Box.size() - cut / 16));
    const auto reader = Open();
    auto* inbox = reader->Folders.FindByID(2001);
    if (inbox == nullptr) continue;  // the account itself was cut away
    reader->ReadMessage(*inbox, true);
    EXPECT_EQ(inbox->Messages.Count(), cut < 64 ? 0 : (cut - 64) / 176);
    for (const auto& item : inbox->Messages) {
      const TQorMCMessage& m = *item;
      const std::string target = File("out.eml");
      fs::remove(target);
      if (reader->ExportMessage(*inbox, m, target).Ok) {
        EXPECT_EQ(ReadAll(target), mb.Box.substr(static_cast<std::size_t>(m.Offset), m.Size));
      }
    }
  }
}

TEST(FoxmailService, DefaultFactoryMakesTheFoxmailReader) {
  TMemoryRegistry registry;
  TQorMCService service(DefaultReaderFactory(registry));
  service.SetFoxmailActive(true);
  auto* reader = dynamic_cast<TQorFoxMail*>(service.GetReader(kMCKindFoxmail));
  ASSERT_NE(reader, nullptr);
  EXPECT_FALSE(reader->Installed);
}

}  // namespace
}  // namespace solvane
