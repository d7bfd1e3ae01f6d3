// Lists a generated Foxmail store of 10 000 messages: a fresh reader finds
// the store through the registry, reads the accounts (Init) and the inbox's
// messages (ReadMessage), as the mail screen and a mail backup task do.
//
//   bench_mail_list [--benchmark_repetitions=N]
//
// The store (about 20 MB: 10 000 messages of about 2 KB) is written once to a
// temporary folder before the runs and removed afterwards.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "FoxmailStoreWriter.h"
#include "mail/QorWithMCFoxmail.h"
#include "platform/MemoryRegistry.h"

namespace {

namespace fs = std::filesystem;
using namespace solvane;

constexpr int kMessages = 10000;
constexpr std::int64_t kInboxID = 1001;

class TStore {
 public:
  TStore() {
    m_root = fs::temp_directory_path() /
             ("solvane-mail-bench-" + std::to_string(std::random_device{}()));
    const fs::path account = m_root / "mail" / "ann";
    fs::create_directories(account);
    std::vector<test::TFoxmailMessageSpec> messages;
    messages.reserve(kMessages);
    for (int n = 1; n <= kMessages; ++n) {
      std::string text = "From: sender" + std::to_string(n) +
                         "@example.org\r\nSubject: weekly note " + std::to_string(n) +
                         "\r\nDate: Tue, 4 Mar 2008 10:11:12 +0800\r\n\r\n";
      while (text.size() < 2048) text += "a line of the message body, long enough to matter\r\n";
      messages.push_back({std::move(text), "sender" + std::to_string(n) + "@example.org",
                          "weekly note " + std::to_string(n)});
    }
    const test::TFoxmailMailbox box = test::MakeFoxmailMailbox(messages);
    Write(m_root / "accounts.cfg", test::MakeFoxmailAccounts({{"ann", account.string() + "/"}}));
    Write(account / "in.box", box.Box);
    Write(account / "in.ind", box.Index);
    m_registry.WriteString(TRegistryRoot::CurrentUser, "\\Software\\Aerofox\\Foxmail\\V3.1",
                           "FoxMailPath", (m_root / "Foxmail.exe").string());
  }
  ~TStore() {
    std::error_code ec;
    fs::remove_all(m_root, ec);
  }
  IRegistry& Registry() { return m_registry; }

 private:
  static void Write(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }

  fs::path m_root;
  TMemoryRegistry m_registry;
};

void BM_ListFoxmailInbox(benchmark::State& state) {
  static TStore store;
  std::size_t listed = 0;
  for (auto _ : state) {
    TQorFoxMail reader(store.Registry());
    reader.Init();
    TQorMCFolderObject* inbox = reader.Folders.FindByID(kInboxID);
    if (!inbox) {
      state.SkipWithError("the generated inbox was not found");
      return;
    }
    reader.ReadMessage(*inbox, false);
    listed = inbox->Messages.Count();
    benchmark::DoNotOptimize(listed);
  }
  if (listed != kMessages) state.SkipWithError("not every message was listed");
  state.counters["messages"] = static_cast<double>(listed);
}
BENCHMARK(BM_ListFoxmailInbox)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
