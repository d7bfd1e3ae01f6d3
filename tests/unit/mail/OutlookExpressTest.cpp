// The Outlook Express reader: store location, folders, messages, export,
// on generated stores and on a real store file.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>

#include "DbxStoreWriter.h"
#include "mail/QorWithMCOutlookExpress.h"
#include "platform/MemoryRegistry.h"

namespace solvane {
namespace {

namespace fs = std::filesystem;

const char kOeKey[] = "\\Software\\Microsoft\\Outlook Express";

class TTempDir {
 public:
  TTempDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    m_path = fs::temp_directory_path() / (std::string("solvane-oe-") + info->name() + "-" +
                                          std::to_string(std::random_device{}()));
    fs::remove_all(m_path);
    fs::create_directories(m_path);
  }
  ~TTempDir() { fs::remove_all(m_path); }
  std::string Path() const { return m_path.string(); }
  std::string File(const std::string& name) const { return (m_path / name).string(); }
  void Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(File(name), std::ios::binary) << bytes;
  }

 private:
  fs::path m_path;
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEnvLookup FakeEnv(std::map<std::string, std::string> vars) {
  return [vars](std::string_view name) -> std::optional<std::string> {
    const auto it = vars.find(std::string(name));
    if (it == vars.end()) return std::nullopt;
    return it->second;
  };
}

TEST(OutlookExpressStore, EnvironmentReferencesExpand) {
  const TEnvLookup env = FakeEnv({{"APPDATA", "/home/ann/ad"}, {"X", "x"}});
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"%APPDATA%/Identities/Store", "/home/ann/ad/Identities/Store"},
      {"/plain/dir", "/plain/dir"},
      {"%UNSET%/a", "%UNSET%/a"},
      {"50%%X%", "50%x"},
      {"%X%%X%", "xx"},
      {"open %X", "open %X"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(ExpandEnvironmentReferences(in, env), out) << in;
}

TEST(OutlookExpressStore, FoundThroughTheRegistry) {
  struct TCase {
    const char* Name;
    std::vector<std::pair<std::string, std::string>> Values;  // key|value name -> value
    bool Installed;
    std::string Directory;
  };
  const std::string identityKey = "\\Identities\\{A1}\\Software\\Microsoft\\Outlook Express\\5.0";
  const std::vector<TCase> cases = {
      {"direct key", {{std::string(kOeKey) + "|Store Root", "%HOME%/oe"}}, true, "/home/ann/oe"},
      {"default identity",
       {{"\\Identities|Default User ID", "{A1}"}, {identityKey + "|Store Root", "/id/store"}},
       true,
       "/id/store"},
      {"identity without store root", {{"\\Identities|Default User ID", "{A1}"}}, false, ""},
      {"nothing", {}, false, ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TMemoryRegistry registry;
    for (const auto& [where, value] : c.Values) {
      const auto bar = where.find('|');
      registry.WriteString(TRegistryRoot::CurrentUser, where.substr(0, bar), where.substr(bar + 1),
                           value);
    }
    TQorOutlookExpress reader(registry, FakeEnv({{"HOME", "/home/ann"}}));
    reader.Init();
    EXPECT_EQ(reader.Installed, c.Installed);
    EXPECT_TRUE(reader.Loaded);
    EXPECT_EQ(reader.StoreDirectory(), c.Directory);
    EXPECT_TRUE(reader.Folders.Empty());
  }
}

class OutlookExpressReader : public ::testing::Test {
 protected:
  void OpenWith(const std::string& foldersDbx) {
    m_dir.Write("folders.dbx", foldersDbx);
    m_registry.WriteString(TRegistryRoot::CurrentUser, kOeKey, "Store Root", m_dir.Path());
    m_reader.Init();
  }

  TTempDir m_dir;
  TMemoryRegistry m_registry;
  TQorOutlookExpress m_reader{m_registry, FakeEnv({})};
};

TEST_F(OutlookExpressReader, ListsFoldersReadsAndExportsMessagesByteForByte) {
  const std::string gbkHello = "\xC4\xE3\xBA\xC3";  // two Chinese characters in GBK
  std::string body = "From: a\r\nSubject: x\r\n\r\n";
  body += std::string(700, 'b') + "\xC4\xE3 end";  // raw bytes pass through untouched
  const auto inbox = test::WriteMessageStore({
      {"Ann", gbkHello, std::string("3"), body, 0},
      {"Bob", "plain", std::nullopt, "tiny", 0},
  });
  m_dir.Write("Inbox.dbx", inbox.Bytes);
  test::TDbxStoreWriter folders;
  const std::uint32_t a = folders.AddRecord(
      {test::TDbxField::Value(0x80, 4), test::TDbxField::Value(0x81, 1),
       test::TDbxField::Text(0x02, gbkHello), test::TDbxField::Text(0x03, "Inbox.dbx")});
  const std::uint32_t b = folders.AddRecord({test::TDbxField::Value(0x80, 1),
                                             test::TDbxField::Text(0x02, "Local Folders"),
                                             test::TDbxField::Word(0x06, 0)});
  folders.SetRoot(folders.AddNode({{a, 0}, {b, 0}}));
  OpenWith(folders.Bytes());

  ASSERT_TRUE(m_reader.Installed);
  ASSERT_EQ(m_reader.Folders.Count(), 2u);
  TQorMCFolderObject& folder = m_reader.Folders[0];
  EXPECT_EQ(folder.Name, "\xE4\xBD\xA0\xE5\xA5\xBD");
  EXPECT_EQ(folder.FolderID, 4);
  EXPECT_EQ(folder.ParentID, 1);
  EXPECT_EQ(folder.FileName1, "Inbox.dbx");

  m_reader.ReadMessage(folder, false);
  ASSERT_TRUE(folder.IsLoaded);
  ASSERT_EQ(folder.Messages.Count(), 2u);
  EXPECT_EQ(folder.Messages[0].Subject, "\xE4\xBD\xA0\xE5\xA5\xBD");
  EXPECT_EQ(folder.Messages[0].MessageID, 3);
  EXPECT_EQ(folder.Messages[0].FolderID, 4);
  EXPECT_EQ(folder.Messages[1].Offset, inbox.Chains[1]);

  const std::string target = m_dir.File("out/deeper/m1.eml");
  ASSERT_TRUE(m_reader.ExportMessage(folder, folder.Messages[0], target).Ok);
  EXPECT_EQ(ReadAll(target), body);

  // The folder with only the marker names no file: nothing listed, not loaded.
  m_reader.ReadMessage(m_reader.Folders[1], false);
  EXPECT_TRUE(m_reader.Folders[1].Messages.Empty());
  EXPECT_FALSE(m_reader.Folders[1].IsLoaded);
}

TEST_F(OutlookExpressReader, BrokenStoresKeepWhatWasReadAndFailClearly) {
  const auto inbox = test::WriteMessageStore({
      {"Ann", "one", std::nullopt, std::string(1200, 'a'), 0},
      {"Bob", "two", std::nullopt, "short", 0},
  });
  std::string broken = inbox.Bytes;
  const std::uint32_t second = inbox.Chains[0] + test::kDbxBlockSize;
  broken[second] ^= 0x01;                 // Ann's chain: second block lies
  broken[inbox.Records[1] + 4] = '\x7F';  // Bob's record: body beyond the end
  broken[inbox.Records[1] + 7] = '\x7F';
  m_dir.Write("Inbox.dbx", broken);
  OpenWith(test::WriteFoldersStore({{2, 1, "Inbox", "Inbox.dbx"}}));
  ASSERT_EQ(m_reader.Folders.Count(), 1u);
  TQorMCFolderObject& folder = m_reader.Folders[0];

  m_reader.ReadMessage(folder, false);
  EXPECT_FALSE(folder.IsLoaded);
  EXPECT_FALSE(m_reader.LastReadError().empty());
  ASSERT_EQ(folder.Messages.Count(), 1u);

  const std::string target = m_dir.File("ann.eml");
  const TQorMCExportResult result = m_reader.ExportMessage(folder, folder.Messages[0], target);
  EXPECT_FALSE(result.Ok);
  EXPECT_FALSE(result.Error.empty());
  EXPECT_FALSE(fs::exists(target));  // no partial message is left behind
}

#ifdef SOLVANE_OE_REAL_FIXTURE_DIR
TEST_F(OutlookExpressReader, ReadsARealStoreFile) {
  const std::string real = std::string(SOLVANE_OE_REAL_FIXTURE_DIR) + "/test_OutlookDBX.dbx";
  if (!fs::exists(real)) GTEST_SKIP() << "real Outlook Express store not present: " << real;
  fs::copy_file(real, m_dir.File("Real.dbx"));
  OpenWith(test::WriteFoldersStore({{9, 1, "Real", "Real.dbx"}}));
  ASSERT_EQ(m_reader.Folders.Count(), 1u);
  TQorMCFolderObject& folder = m_reader.Folders[0];
  m_reader.ReadMessage(folder, false);
  ASSERT_TRUE(folder.IsLoaded) << m_reader.LastReadError();
  ASSERT_EQ(folder.Messages.Count(), 28u);
  const TQorMCMessage& first = folder.Messages[0];
  EXPECT_EQ(first.Sender, "Marcus");
  EXPECT_EQ(first.Subject, "");
  EXPECT_EQ(first.Size, 1171);
  EXPECT_EQ(first.Offset, 60116);
  for (const auto& m : folder.Messages) EXPECT_EQ(m->MessageID, 0);

  const std::string out = m_dir.File("first.eml");
  ASSERT_TRUE(m_reader.ExportMessage(folder, first, out).Ok);
  const std::string text = ReadAll(out);
  EXPECT_EQ(text.size(), 1171u);
  EXPECT_EQ(text.rfind("From: \"Marcus\" <", 0), 0u);

  ASSERT_EQ(folder.Messages[3].Size, 44712);
  ASSERT_TRUE(m_reader.ExportMessage(folder, folder.Messages[3], out).Ok);
  EXPECT_EQ(ReadAll(out).size(), 44712u);
}
#endif

}  // namespace
}  // namespace solvane
