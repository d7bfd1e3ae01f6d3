#pragma once
// The Outlook Express reader (kind 2): reads the folder list from
// folders.dbx in the store directory and each folder's messages from that
// folder's own .dbx file. The store files are only ever read; the parsing
// lives in QorWithMCDbxParser, this unit does the file I/O around it.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "mail/QorWithMCDefine.h"
#include "platform/IRegistry.h"

namespace solvane {

// Looks an environment variable up; empty when it is not set.
using TEnvLookup = std::function<std::optional<std::string>(std::string_view name)>;
// The process environment.
TEnvLookup ProcessEnvironment();
// Each %NAME% whose NAME is set replaced by its value; other text, unknown
// names included, unchanged.
std::string ExpandEnvironmentReferences(std::string_view text, const TEnvLookup& env);

class TQorOutlookExpress : public TQorCustomMC {
 public:
  TQorOutlookExpress(IRegistry& registry, TEnvLookup env = ProcessEnvironment());

  void Init() override;
  void ReadMessage(TQorMCFolderObject& folder, bool force) override;
  TQorMCExportResult ExportMessage(const TQorMCFolderObject& folder, const TQorMCMessage& message,
                                   const std::string& fileName) override;

  // Uses dir as the store instead of the one the registry names, and reads
  // its folders (for a store given on the command line).
  void OpenStore(const std::string& dir);

  const std::string& StoreDirectory() const { return m_storeDirectory; }
  // Why the last ReadMessage stopped early; empty when it completed.
  const std::string& LastReadError() const { return m_lastReadError; }

 private:
  void FindStore();
  void ReadFolders();
  std::string StorePath(const std::string& fileName) const;

  IRegistry& m_registry;
  TEnvLookup m_env;
  std::string m_storeDirectory;
  std::string m_lastReadError;
};

}  // namespace solvane
