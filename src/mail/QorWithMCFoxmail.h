#pragma once
// The Foxmail reader (kind 0): reads the accounts from accounts.cfg in the
// Foxmail directory, gives each account its five fixed mailboxes (a .box
// file of raw messages and an .ind index beside it) and lists a mailbox's
// messages from its index. The store files are only ever read; the parsing
// lives in QorWithMCFoxmailParser, this unit does the file I/O around it.

#include <string>

#include "mail/QorWithMCDefine.h"
#include "mail/QorWithMCOutlookExpress.h"
#include "platform/IRegistry.h"

namespace solvane {

class TQorFoxMail : public TQorCustomMC {
 public:
  // Finds the Foxmail directory through the registry.
  TQorFoxMail(IRegistry& registry, TEnvLookup env = ProcessEnvironment());

  void Init() override;
  void ReadMessage(TQorMCFolderObject& folder, bool force) override;
  TQorMCExportResult ExportMessage(const TQorMCFolderObject& folder, const TQorMCMessage& message,
                                   const std::string& fileName) override;

  // Uses dir as the Foxmail directory instead of the one the registry names,
  // and reads its accounts (for a store given on the command line).
  void OpenStore(const std::string& dir);

  // With a trailing separator; empty when Foxmail is not installed.
  const std::string& FoxmailDirectory() const { return m_directory; }
  // Why the last Init or ReadMessage stopped early; empty when it completed.
  const std::string& LastReadError() const { return m_lastReadError; }

 private:
  void FindDirectory();
  void ReadAccounts();

  IRegistry& m_registry;
  TEnvLookup m_env;
  std::string m_directory;
  std::string m_lastReadError;
};

}  // namespace solvane
