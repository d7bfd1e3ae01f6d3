// solvane-cli mail commands end to end against the real server, on generated
// Foxmail and Outlook Express stores given with --store: listing, backup by
// folder name or ID and by single messages, restore byte-identical to the
// readers' export, and failures that end the command with a failure status.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "EngineTestSupport.h"
#include "MailStoreFixture.h"
#include "CliProcess.h"
#include "ServerProcess.h"
#include "mail/QorWithMCService.h"
#include "platform/MemoryRegistry.h"
#include "tasks/MailTaskPaths.h"

#ifndef SOLVANE_CLI_BINARY
#error "SOLVANE_CLI_BINARY must name the command-line client"
#endif

namespace solvane::testing {
namespace {

namespace fs = std::filesystem;
using enginetest::ReadFile;

using TRun = TCliRun;

// Every file of a folder: name -> content.
std::map<std::string, std::string> FilesIn(const fs::path& dir) {
  std::map<std::string, std::string> files;
  if (!fs::exists(dir)) return files;
  for (const auto& e : fs::directory_iterator(dir))
    files[e.path().filename().string()] = ReadFile(e.path().string());
  return files;
}

class CliMail : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Start());
    server.AddUser("ann", "pw");
    port = server.Port();
    work = server.DataDir().parent_path() / "work";
    fs::create_directories(work / "config");
    stores.WriteFoxmail(FoxmailMessages(4, 300000));
    stores.WriteOutlookExpress(OeMessages(3));
  }

  TRun Run(std::vector<std::string> args) {
    TCliCall call;
    call.argv = {SOLVANE_CLI_BINARY, "--server", "127.0.0.1:" + std::to_string(port),
                 "--user", "ann", "--fast"};
    call.argv.insert(call.argv.end(), args.begin(), args.end());
    call.env = {{"XDG_CONFIG_HOME", (work / "config").string()}, {"SOLVANE_PASSWORD", "pw"}};
    return RunCliProcess(call, work);
  }

  // What the kind's reader exports for each message of the folder.
  std::map<std::string, std::string> Exported(int kind, std::int64_t folderId) {
    TMemoryRegistry registry;
    stores.RegisterFoxmail(registry);
    stores.RegisterOutlookExpress(registry);
    auto reader = DefaultReaderFactory(registry)(static_cast<std::uint8_t>(kind));
    reader->Init();
    std::map<std::string, std::string> files;
    TQorMCFolderObject* folder = reader->Folders.FindByID(folderId);
    if (!folder) return files;
    reader->ReadMessage(*folder, false);
    const fs::path dir = work / "exported";
    for (const auto& m : folder->Messages) {
      const std::string name = MailMessageFileName(kind, folderId, m->MessageID, false, 0);
      EXPECT_TRUE(reader->ExportMessage(*folder, *m, (dir / name).string()).Ok);
      files[name] = ReadFile((dir / name).string());
    }
    return files;
  }

  TServerProcess server;
  int port = 0;
  fs::path work;
  TMailStores stores;
};

TEST_F(CliMail, ListShowsFoldersWithTheirMessageCountsWithoutSigningIn) {
  server.Stop();  // the list needs no server
  TRun fox = Run({"mail", "list", "--kind", "foxmail", "--store", stores.FoxmailDir()});
  ASSERT_EQ(fox.exitCode, 0) << fox.err;
  EXPECT_NE(fox.out.find("1001\t1\t4\tann/收件箱\n"), std::string::npos) << fox.out;
  EXPECT_NE(fox.out.find("1\t-1\t-\tann\n"), std::string::npos) << fox.out;

  TRun oe = Run({"mail", "list", "--kind", "oe", "--store", stores.OeDir()});
  ASSERT_EQ(oe.exitCode, 0) << oe.err;
  EXPECT_NE(oe.out.find("5\t1\t3\tInbox\n"), std::string::npos) << oe.out;

  TRun none = Run({"mail", "list", "--kind", "foxmail"});
  EXPECT_EQ(none.exitCode, 2);
  EXPECT_NE(none.err.find("no Foxmail store"), std::string::npos) << none.err;
}

TEST_F(CliMail, BackupAndRestoreBringTheMessagesBackAsTheReaderExportsThem) {
  const fs::path restored = work / "restored";
  // Two single messages of the Foxmail inbox first, then the inbox by its path.
  TRun two = Run({"mail", "backup", "--kind", "foxmail", "--store", stores.FoxmailDir(),
                  "--message", "1001:2", "--message", "1001:4"});
  ASSERT_EQ(two.exitCode, 0) << two.err;
  EXPECT_EQ(CliSummary(two.err)["FileDoneCount"], 2);
  TRun inbox =
      Run({"mail", "backup", "--kind", "foxmail", "--store", stores.FoxmailDir(), "ann/收件箱"});
  ASSERT_EQ(inbox.exitCode, 0) << inbox.err;
  EXPECT_EQ(CliSummary(inbox.err)["FileDoneCount"], 2);
  EXPECT_EQ(CliSummary(inbox.err)["FileCheckedAndNoChangeCount"], 2);

  TRun back = Run({"mail", "restore", "--kind", "foxmail", "--to", restored.string(), "1001"});
  ASSERT_EQ(back.exitCode, 0) << back.err;
  EXPECT_EQ(FilesIn(restored / "Foxmail" / "1" / "1001"), Exported(kMCKindFoxmail, kFoxInboxID));

  TRun oe = Run({"mail", "backup", "--kind", "oe", "--store", stores.OeDir(), "Inbox"});
  ASSERT_EQ(oe.exitCode, 0) << oe.err;
  TRun oeBack =
      Run({"mail", "restore", "--kind", "oe", "--to", restored.string(), "--message", "5:102"});
  ASSERT_EQ(oeBack.exitCode, 0) << oeBack.err;
  const auto oeFiles = FilesIn(restored / "OutlookExpress" / "1" / "5");
  ASSERT_EQ(oeFiles.size(), 1u);
  EXPECT_EQ(oeFiles.at("5-102.eml"), Exported(kMCKindOutlookExpress, kOeFolderID).at("5-102.eml"));
}

TEST_F(CliMail, UnknownFoldersEndTheCommandWithAFailureStatus) {
  TRun unknownId =
      Run({"mail", "backup", "--kind", "foxmail", "--store", stores.FoxmailDir(), "4242"});
  EXPECT_EQ(unknownId.exitCode, 1) << unknownId.err;
  EXPECT_EQ(CliSummary(unknownId.err)["FileErrorCount"], 1);

  TRun unknownName =
      Run({"mail", "backup", "--kind", "foxmail", "--store", stores.FoxmailDir(), "nowhere"});
  EXPECT_EQ(unknownName.exitCode, 2) << unknownName.err;

  TRun notStored = Run({"mail", "restore", "--kind", "oe", "--to", (work / "r").string(), "5"});
  EXPECT_EQ(notStored.exitCode, 1) << notStored.err;
  EXPECT_EQ(CliSummary(notStored.err)["FileErrorCount"], 1);
}

}  // namespace
}  // namespace solvane::testing
