#pragma once
// The Outlook reader (kind 1): drives Outlook through its automation object
// model instead of reading files. Lists the mail folders of every store
// (two levels below each store), a folder's items on demand, and exports a
// message by letting Outlook save it. While the reader exists, a watcher
// thread brings Outlook's access-confirmation dialog (raised when another
// program reads Outlook's items) to the front so the user can answer it.

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>

#include "mail/QorWithMCDefine.h"
#include "platform/IDialogFinder.h"
#include "platform/IOutlookAutomation.h"

namespace solvane {

class TQorOutlookMonitor {
 public:
  static constexpr std::chrono::milliseconds kInterval{500};

  // Starts watching at once; a null finder finds nothing.
  explicit TQorOutlookMonitor(std::shared_ptr<IDialogFinder> finder,
                              std::chrono::milliseconds interval = kInterval);
  // Wakes the watcher from its wait and joins it.
  ~TQorOutlookMonitor();
  TQorOutlookMonitor(const TQorOutlookMonitor&) = delete;
  TQorOutlookMonitor& operator=(const TQorOutlookMonitor&) = delete;

  // One look for Outlook's access dialog; when it is on screen it is brought
  // to the front. True when a dialog was found.
  static bool Pass(IDialogFinder& finder);

 private:
  void Run(std::stop_token stop);

  std::shared_ptr<IDialogFinder> m_finder;
  std::chrono::milliseconds m_interval;
  std::mutex m_mutex;
  std::condition_variable_any m_wake;
  std::jthread m_thread;  // last: stopped and joined before the members above go
};

class TQorOutlook : public TQorCustomMC {
 public:
  // application: Outlook's application object, or nullptr when there is no
  // Outlook (the reader is then not installed). The watcher runs either way.
  TQorOutlook(TOutlookRef application, std::shared_ptr<IDialogFinder> finder);
  ~TQorOutlook() override;

  void Init() override;
  void ReadMessage(TQorMCFolderObject& folder, bool force) override;
  TQorMCExportResult ExportMessage(const TQorMCFolderObject& folder, const TQorMCMessage& message,
                                   const std::string& fileName) override;

  // Why the last Init or ReadMessage stopped early; empty when it completed.
  const std::string& LastReadError() const { return m_lastReadError; }

 private:
  void ListFolders();
  void ListStoreFolders(IOutlookAutomation& store, std::int64_t i);
  void ListItems(TQorMCFolderObject& folder);
  // True when a folder listed earlier holds that identifier already.
  bool IsTaken(std::int64_t id) const { return Folders.FindByID(id) != nullptr; }
  void AddFolder(std::int64_t id, std::int64_t parentID, std::string name, std::string cargo);

  // Declared so that the watcher stops first, then the namespace and the
  // application are released.
  TOutlookRef m_application;
  TOutlookRef m_namespace;
  std::unique_ptr<TQorOutlookMonitor> m_monitor;
  std::string m_lastReadError;
};

}  // namespace solvane
