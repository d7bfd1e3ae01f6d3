// The Outlook reader against a fake object model: folder numbering and the
// mail-folder test, identifiers that would collide, item listing with its
// yields, export through SaveAs, refused calls, the not-installed reader and
// the access-dialog watcher.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <mutex>
#include <random>
#include <set>
#include <thread>
#include <tuple>
#include <vector>

#include "FakeOutlook.h"
#include "mail/QorWithMCOutlook.h"
#include "mail/QorWithMCService.h"
#include "platform/MemoryRegistry.h"
#include "wire/QorWithUiPump.h"

namespace solvane {
namespace {

namespace fs = std::filesystem;
using test::TFakeOutlook;
using test::TFakeRef;

class OutlookReader : public ::testing::Test {
 protected:
  std::unique_ptr<TQorOutlook> Open() {
    auto reader = std::make_unique<TQorOutlook>(m_outlook.Application(), nullptr);
    reader->Init();
    return reader;
  }

  TFakeOutlook m_outlook;
};

using TRow = std::tuple<std::int64_t, std::int64_t, std::string, std::string>;

std::vector<TRow> Rows(const TQorCustomMC& reader) {
  std::vector<TRow> rows;
  for (const auto& f : reader.Folders)
    rows.emplace_back(f->FolderID, f->ParentID, f->Name, f->Cargo);
  return rows;
}

TEST_F(OutlookReader, NumbersStoresMailFoldersAndTheirMailSubfolders) {
  const TFakeRef personal = m_outlook.AddStore("Personal");
  const TFakeRef deleted = m_outlook.AddFolder(personal, "Deleted");
  const TFakeRef inbox = m_outlook.AddFolder(personal, "Inbox");
  const TFakeRef work = m_outlook.AddFolder(inbox, "Work");
  m_outlook.AddFolder(work, "Deep");  // level 4: never listed
  m_outlook.AddFolder(inbox, "Tasks", 3);
  const TFakeRef later = m_outlook.AddFolder(inbox, "Later");
  const TFakeRef calendar = m_outlook.AddFolder(personal, "Calendar", test::kFakeCalendarItems);
  m_outlook.AddFolder(calendar, "Mail under calendar");  // skipped with its parent
  m_outlook.AddFolder(personal, "Not a folder", test::kFakeMailItems, 43);
  const TFakeRef archive = m_outlook.AddStore("Archive");
  const TFakeRef old = m_outlook.AddFolder(archive, "Old");

  const auto reader = Open();
  EXPECT_TRUE(reader->Installed);
  EXPECT_TRUE(reader->Loaded);
  EXPECT_EQ(reader->LastReadError(), "");
  const auto id = [](const TFakeRef& f) { return TFakeOutlook::EntryIDOf(f); };
  const std::vector<TRow> expected = {
      {1, -1, "Personal", "\\\\Personal"},
      {101, 1, "Deleted", id(deleted)},
      {102, 1, "Inbox", id(inbox)},
      {1201, 102, "Work", id(work)},
      {1203, 102, "Later", id(later)},
      {2, -1, "Archive", "\\\\Archive"},
      {201, 2, "Old", id(old)},
  };
  EXPECT_EQ(Rows(*reader), expected);
  for (const auto& f : reader->Folders) {
    EXPECT_EQ(f->FileName1, "");
    EXPECT_EQ(f->Data, 0);
  }
}

// Folder names are paths here, so each listed folder can be checked against
// the folder its ParentID names.
void ExpectEachIdentifierNamesOneFolder(const TQorCustomMC& reader) {
  std::set<std::int64_t> ids;
  for (const auto& f : reader.Folders) {
    EXPECT_TRUE(ids.insert(f->FolderID).second) << "identifier used twice: " << f->FolderID;
    if (f->ParentID < 0) continue;
    const TQorMCFolderObject* parent = reader.Folders.FindByID(f->ParentID);
    ASSERT_NE(parent, nullptr) << f->Name;
    EXPECT_EQ(f->Name.rfind(parent->Name + "/", 0), 0u) << f->Name << " under " << parent->Name;
  }
}

bool Listed(const TQorCustomMC& reader, const std::string& name) {
  for (const auto& f : reader.Folders)
    if (f->Name == name) return true;
  return false;
}

TEST_F(OutlookReader, FolderWhoseIdentifierIsTakenIsLeftOutWithItsSubfolders) {
  // A/101 takes 201 (100 + 101), the identifier of B's first folder (200 + 1).
  const TFakeRef a = m_outlook.AddStore("A");
  for (int j = 1; j <= 101; ++j) m_outlook.AddFolder(a, "A/" + std::to_string(j));
  const TFakeRef b = m_outlook.AddStore("B");
  const TFakeRef b1 = m_outlook.AddFolder(b, "B/1");
  m_outlook.AddFolder(b1, "B/1/1");
  m_outlook.AddFolder(b1, "B/1/2");

  const auto reader = Open();
  ExpectEachIdentifierNamesOneFolder(*reader);
  EXPECT_EQ(reader->Folders.FindByID(201)->Name, "A/101");
  EXPECT_TRUE(Listed(*reader, "B"));
  EXPECT_FALSE(Listed(*reader, "B/1"));
  EXPECT_FALSE(Listed(*reader, "B/1/1"));
  EXPECT_FALSE(Listed(*reader, "B/1/2"));  // 2102 is free, but its parent is left out
}

TEST_F(OutlookReader, SubfolderWhoseIdentifierIsTakenIsLeftOut) {
  const TFakeRef a = m_outlook.AddStore("A");
  for (int j = 1; j <= 11; ++j) m_outlook.AddFolder(a, "A/" + std::to_string(j));
  m_outlook.AddFolder(m_outlook.AddFolder(a, "A/12"), "A/12/1");  // 1000 + 1200 + 1 = 2201
  const TFakeRef b = m_outlook.AddStore("B");
  const TFakeRef b1 = m_outlook.AddFolder(b, "B/1");
  m_outlook.AddFolder(m_outlook.AddFolder(b, "B/2"), "B/2/1");  // 2000 + 200 + 1 = 2201
  m_outlook.AddFolder(b1, "B/1/1");

  const auto reader = Open();
  ExpectEachIdentifierNamesOneFolder(*reader);
  EXPECT_EQ(reader->Folders.FindByID(2201)->Name, "A/12/1");
  EXPECT_TRUE(Listed(*reader, "B/2"));
  EXPECT_FALSE(Listed(*reader, "B/2/1"));
  EXPECT_TRUE(Listed(*reader, "B/1/1"));
}

// Installs a counting pump for the test's thread (as the GUI does for its
// own) and removes it afterwards.
class TCountingPump {
 public:
  explicit TCountingPump(bool onThisThread) {
    SetUiThread(onThisThread ? std::this_thread::get_id() : std::thread::id());
    SetUiPump([this] { ++Calls; });
  }
  ~TCountingPump() {
    SetUiPump(nullptr);
    SetUiThread(std::thread::id());
  }
  int Calls = 0;
};

TEST_F(OutlookReader, ListsItemsYieldingEveryTenOnTheUiThreadOnly) {
  const TFakeRef inbox = m_outlook.AddFolder(m_outlook.AddStore("S"), "Inbox");
  const TFakeRef firstItem = m_outlook.AddItem(inbox, "m1");
  for (int i = 2; i <= 25; ++i) m_outlook.AddItem(inbox, "m" + std::to_string(i));
  const auto reader = Open();
  TQorMCFolderObject& folder = *reader->Folders.FindByID(101);

  {
    TCountingPump pump(true);
    reader->ReadMessage(folder, false);
    EXPECT_EQ(pump.Calls, 2);  // after items 10 and 20
  }
  ASSERT_TRUE(folder.IsLoaded);
  ASSERT_EQ(folder.Messages.Count(), 25u);
  for (std::size_t i = 0; i < 25; ++i) {
    EXPECT_EQ(folder.Messages[i].MessageID, static_cast<std::int64_t>(i + 1));
    EXPECT_EQ(folder.Messages[i].FolderID, 101);
  }
  const TQorMCMessage& first = folder.Messages[0];
  EXPECT_EQ(first.Subject, "m1");
  EXPECT_EQ(first.Sender, "Ann");
  EXPECT_EQ(first.Receiver, "Bob");
  EXPECT_EQ(first.SendDate, DateTime(std::chrono::hours(24 * 365 * 40)));
  EXPECT_EQ(first.ReceiveDate, DateTime(std::chrono::hours(24 * 365 * 40 + 1)));
  EXPECT_EQ(first.Size, 4);
  EXPECT_EQ(first.Offset, -1);
  EXPECT_EQ(first.UpdateDate, 0);
  EXPECT_FALSE(first.IsSelected);
  EXPECT_EQ(first.Cargo, TFakeOutlook::EntryIDOf(firstItem));

  m_outlook.AddItem(inbox, "m26");
  {
    TCountingPump pump(false);  // a pump of another thread is never run here
    reader->ReadMessage(folder, false);
    EXPECT_EQ(folder.Messages.Count(), 25u);  // loaded: not read again
    reader->ReadMessage(folder, true);
    EXPECT_EQ(folder.Messages.Count(), 26u);
    EXPECT_EQ(pump.Calls, 0);
  }
}

TEST_F(OutlookReader, StoreOrFolderOutlookNoLongerKnowsStaysNotLoaded) {
  const TFakeRef inbox = m_outlook.AddFolder(m_outlook.AddStore("S"), "Inbox");
  m_outlook.AddItem(inbox, "kept in Outlook");
  const auto reader = Open();
  TQorMCFolderObject& store = *reader->Folders.FindByID(1);
  TQorMCFolderObject& folder = *reader->Folders.FindByID(101);
  // Even a store whose locator would lead to items is not read.
  store.Cargo = folder.Cargo;
  for (TQorMCFolderObject* f : {&store, &folder}) {
    if (f == &folder) m_outlook.Forget(inbox);
    reader->ReadMessage(*f, true);
    EXPECT_FALSE(f->IsLoaded) << f->Name;
    EXPECT_TRUE(f->Messages.Empty()) << f->Name;
    EXPECT_EQ(reader->LastReadError(), "") << f->Name;
  }
}

TEST_F(OutlookReader, RefusedCallEndsTheListingKeepingWhatWasRead) {
  const TFakeRef s1 = m_outlook.AddStore("S1");
  const TFakeRef inbox = m_outlook.AddFolder(s1, "Inbox");
  std::vector<TFakeRef> items;
  for (int i = 1; i <= 4; ++i) items.push_back(m_outlook.AddItem(inbox, "m" + std::to_string(i)));
  const TFakeRef s2 = m_outlook.AddStore("S2");
  m_outlook.AddFolder(s2, "Inbox");
  const TOutlookValue s2Folders = s2->Properties.at("Folders");
  s2->Properties.erase("Folders");

  const auto reader = Open();
  EXPECT_FALSE(reader->Loaded);
  EXPECT_NE(reader->LastReadError().find("Folders"), std::string::npos);
  EXPECT_EQ(Rows(*reader).size(), 3u);  // S1, its inbox, S2

  s2->Properties["Folders"] = s2Folders;
  reader->Init();  // listed afresh, not appended to
  EXPECT_TRUE(reader->Loaded);
  EXPECT_EQ(Rows(*reader).size(), 4u);

  items[2]->Properties.erase("SenderName");  // the user said no to the access dialog
  TQorMCFolderObject& folder = *reader->Folders.FindByID(101);
  reader->ReadMessage(folder, false);
  EXPECT_FALSE(folder.IsLoaded);
  EXPECT_EQ(folder.Messages.Count(), 2u);
  EXPECT_NE(reader->LastReadError().find("SenderName"), std::string::npos);
}

class OutlookExport : public OutlookReader {
 protected:
  void SetUp() override {
    m_dir =
        fs::temp_directory_path() / ("solvane-outlook-" + std::to_string(std::random_device{}()));
    fs::remove_all(m_dir);
    m_inbox = m_outlook.AddFolder(m_outlook.AddStore("S"), "Inbox");
    m_item = m_outlook.AddItem(m_inbox, "hello", "the whole message");
    m_reader = Open();
    m_folder = m_reader->Folders.FindByID(101);
    m_reader->ReadMessage(*m_folder, false);
    ASSERT_EQ(m_folder->Messages.Count(), 1u);
  }
  void TearDown() override { fs::remove_all(m_dir); }

  TQorMCExportResult Export(const std::string& file) {
    return m_reader->ExportMessage(*m_folder, m_folder->Messages[0], file);
  }
  static std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

  fs::path m_dir;
  TFakeRef m_inbox;
  TFakeRef m_item;
  std::unique_ptr<TQorOutlook> m_reader;
  TQorMCFolderObject* m_folder = nullptr;
};

TEST_F(OutlookExport, SavesThroughOutlookIntoACreatedFolder) {
  const fs::path file = m_dir / "a" / "b" / "1.msg";
  const TQorMCExportResult result = Export(file.string());
  EXPECT_TRUE(result.Ok) << result.Error;
  EXPECT_EQ(ReadAll(file), "the whole message");
}

TEST_F(OutlookExport, RefusedOrUnknownMessageWritesNothing) {
  const fs::path file = m_dir / "1.msg";
  m_outlook.RefuseSaveAs = true;
  EXPECT_FALSE(Export(file.string()).Ok);
  EXPECT_FALSE(fs::exists(file));

  m_outlook.RefuseSaveAs = false;
  m_outlook.Forget(m_item);
  EXPECT_FALSE(Export(file.string()).Ok);
  EXPECT_FALSE(fs::exists(file));
}

TEST(OutlookNotInstalled, WithoutAutomationOrNamespaceTheReaderDoesNothing) {
  TFakeOutlook refusing;
  std::static_pointer_cast<test::TFakeOutlookObject>(refusing.Application())
      ->Methods.erase("GetNameSpace");
  TMemoryRegistry registry;
  TQorMCService service(DefaultReaderFactory(registry));
  service.SetOutlookActive(true);

  TQorOutlook noAutomation(nullptr, nullptr);
  TQorOutlook noNamespace(refusing.Application(), nullptr);
  const auto* fromService = dynamic_cast<TQorOutlook*>(service.GetReader(kMCKindOutlook));
  ASSERT_NE(fromService, nullptr);
  EXPECT_FALSE(fromService->Installed);
  for (TQorOutlook* reader : {&noAutomation, &noNamespace}) {
    reader->Init();
    EXPECT_FALSE(reader->Installed);
    EXPECT_FALSE(reader->Loaded);
    EXPECT_TRUE(reader->Folders.Empty());
    TQorMCFolderObject folder;
    folder.FolderID = 101;
    folder.ParentID = 1;
    reader->ReadMessage(folder, true);
    EXPECT_FALSE(folder.IsLoaded);
    TQorMCMessage message;
    EXPECT_FALSE(reader->ExportMessage(folder, message, "/nonexistent/1.msg").Ok);
  }
}

// Desktop windows by class and title; records what was brought forward.
class TFakeDialogFinder : public IDialogFinder {
 public:
  std::optional<TWindowRef> FindTopLevel(std::string_view windowClass,
                                         std::string_view title) override {
    std::lock_guard lock(m_mutex);
    Lookups.emplace_back(windowClass, title);
    for (const auto& [ref, cls, t] : Windows)
      if (cls == windowClass && t == title) return ref;
    return std::nullopt;
  }
  void BringToFront(TWindowRef window) override {
    std::lock_guard lock(m_mutex);
    Raised.push_back(window);
    if (!m_raisedOnce.exchange(true)) m_firstRaise.set_value();
  }
  std::vector<TWindowRef> RaisedSoFar() {
    std::lock_guard lock(m_mutex);
    return Raised;
  }
  std::future<void> FirstRaise() { return m_firstRaise.get_future(); }

  std::vector<std::tuple<TWindowRef, std::string, std::string>> Windows;
  std::vector<std::pair<std::string, std::string>> Lookups;
  std::vector<TWindowRef> Raised;

 private:
  std::mutex m_mutex;
  std::atomic<bool> m_raisedOnce{false};
  std::promise<void> m_firstRaise;
};

TEST(OutlookMonitor, PassBringsTheAccessDialogForward) {
  struct TCase {
    std::vector<std::tuple<TWindowRef, std::string, std::string>> windows;
    std::vector<TWindowRef> raised;
  };
  const std::vector<TCase> cases = {
      {{}, {}},
      {{{7, "Notepad", "Microsoft Outlook"}, {8, "#32770", "Other"}}, {}},
      {{{7, "#32770", "Microsoft Outlook"}}, {7}},
      {{{7, "#32770", "Microsoft Outlook"}, {9, "#32770", "Microsoft office Outlook"}}, {9}},
  };
  for (const TCase& c : cases) {
    TFakeDialogFinder finder;
    finder.Windows = c.windows;
    EXPECT_EQ(TQorOutlookMonitor::Pass(finder), !c.raised.empty());
    EXPECT_EQ(finder.Raised, c.raised);
  }
  TFakeDialogFinder none;
  TQorOutlookMonitor::Pass(none);
  const std::vector<std::pair<std::string, std::string>> order = {
      {"#32770", "Microsoft office Outlook"}, {"#32770", "Microsoft Outlook"}};
  EXPECT_EQ(none.Lookups, order);
}

TEST(OutlookMonitor, WatcherRaisesTheDialogAndStopsAtOnceWhenDestroyed) {
  auto finder = std::make_shared<TFakeDialogFinder>();
  finder->Windows = {{5, "#32770", "Microsoft Outlook"}};
  auto raised = finder->FirstRaise();
  {
    // An interval far beyond the test's time: leaving the scope must cut the wait short.
    TQorOutlookMonitor monitor(finder, std::chrono::hours(1));
    ASSERT_EQ(raised.wait_for(std::chrono::seconds(30)), std::future_status::ready);
  }
  EXPECT_EQ(finder->RaisedSoFar(), std::vector<TWindowRef>{5});
}

}  // namespace
}  // namespace solvane
