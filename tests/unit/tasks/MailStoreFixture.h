#pragma once
// Generated mail stores for the mail task tests: a Foxmail directory with one
// account whose inbox holds the given messages, and an Outlook Express store
// with one folder; both named in a registry as the readers look them up.

#include <fstream>
#include <string>
#include <vector>

#include "DbxStoreWriter.h"
#include "FoxmailStoreWriter.h"
#include "TempTree.h"
#include "platform/IRegistry.h"

namespace solvane::testing {

// The Foxmail inbox of the only account: account 1, mailbox 1 of it.
inline constexpr std::int64_t kFoxAccountID = 1;
inline constexpr std::int64_t kFoxInboxID = 1001;
// The Outlook Express folder.
inline constexpr std::int64_t kOeParentID = 1;
inline constexpr std::int64_t kOeFolderID = 5;

// A small message as a mail client stores it; n makes it unique.
inline std::string MessageText(int n, std::size_t bodyBytes = 40) {
  std::string body;
  while (body.size() < bodyBytes) body += "line " + std::to_string(n) + " of the body\r\n";
  return "From: sender" + std::to_string(n) + "@example.org\r\nSubject: note " + std::to_string(n) +
         "\r\nDate: Tue, 4 Mar 2008 10:11:12 +0800\r\n\r\n" + body;
}

inline std::vector<test::TFoxmailMessageSpec> FoxmailMessages(int count,
                                                              std::size_t bodyBytes = 40) {
  std::vector<test::TFoxmailMessageSpec> messages;
  for (int n = 1; n <= count; ++n)
    messages.push_back({MessageText(n, bodyBytes), "sender" + std::to_string(n) + "@example.org",
                        "note " + std::to_string(n)});
  return messages;
}

inline std::vector<test::TDbxTestMessage> OeMessages(int count) {
  std::vector<test::TDbxTestMessage> messages;
  for (int n = 1; n <= count; ++n)
    messages.push_back({"oe" + std::to_string(n) + "@example.org", "oe note " + std::to_string(n),
                        std::to_string(100 + n), MessageText(100 + n, 700), 0});
  return messages;
}

class TMailStores {
 public:
  std::string FoxmailDir() const { return m_tree.Path("Foxmail"); }
  std::string OeDir() const { return m_tree.Path("oe"); }

  // Writes the Foxmail directory (accounts.cfg and the inbox's .box/.ind).
  void WriteFoxmail(const std::vector<test::TFoxmailMessageSpec>& inbox) const {
    const std::string account = m_tree.Folder("Foxmail/mail/ann") + "/";
    Write("Foxmail/accounts.cfg", test::MakeFoxmailAccounts({{"ann", account}}));
    const test::TFoxmailMailbox box = test::MakeFoxmailMailbox(inbox);
    Write("Foxmail/mail/ann/in.box", box.Box);
    Write("Foxmail/mail/ann/in.ind", box.Index);
  }
  // Names the Foxmail directory in the registry.
  void RegisterFoxmail(IRegistry& registry) const {
    registry.WriteString(TRegistryRoot::CurrentUser, "\\Software\\Aerofox\\Foxmail\\V3.1",
                         "FoxMailPath", FoxmailDir() + "/Foxmail.exe");
  }

  // Writes folders.dbx with the one folder and that folder's .dbx.
  void WriteOutlookExpress(const std::vector<test::TDbxTestMessage>& messages) const {
    m_tree.Folder("oe");
    Write("oe/folders.dbx", test::WriteFoldersStore(
                                {{static_cast<std::uint32_t>(kOeFolderID),
                                  static_cast<std::uint32_t>(kOeParentID), "Inbox", "Inbox.dbx"}}));
    Write("oe/Inbox.dbx", test::WriteMessageStore(messages).Bytes);
  }
  void RegisterOutlookExpress(IRegistry& registry) const {
    registry.WriteString(TRegistryRoot::CurrentUser, "\\Software\\Microsoft\\Outlook Express",
                         "Store Root", OeDir());
  }

 private:
  void Write(const std::string& rel, const std::string& bytes) const {
    m_tree.FileWithText(rel, bytes);
  }

  TTempTree m_tree;
};

}  // namespace solvane::testing
