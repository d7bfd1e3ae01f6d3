#pragma once
// A fake Outlook object model for the Outlook reader's tests: stores,
// folders and items built in memory, reached through the same late-bound
// calls as the real one. Removing a property makes its Get refused.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/IOutlookAutomation.h"

namespace solvane::test {

class TFakeOutlookObject : public IOutlookAutomation {
 public:
  using TMethod = std::function<TOutlookValue(const std::vector<std::string>& args)>;

  TOutlookValue Get(std::string_view member) override;
  TOutlookValue Item(std::int64_t index) override;
  TOutlookValue Call(std::string_view member, const std::vector<std::string>& args) override;

  std::map<std::string, TOutlookValue, std::less<>> Properties;
  std::vector<TOutlookRef> Entries;  // a collection's entries, from index 1
  std::map<std::string, TMethod, std::less<>> Methods;
};

using TFakeRef = std::shared_ptr<TFakeOutlookObject>;

inline constexpr std::int64_t kFakeMailItems = 0;
inline constexpr std::int64_t kFakeCalendarItems = 1;
inline constexpr std::int64_t kFakeFolderClass = 2;

class TFakeOutlook {
 public:
  TFakeOutlook();
  TFakeOutlook(const TFakeOutlook&) = delete;
  TFakeOutlook& operator=(const TFakeOutlook&) = delete;

  TOutlookRef Application() const { return m_application; }

  // A store; its FolderPath is "\\" + name.
  TFakeRef AddStore(const std::string& name);
  // A folder in parent (a store or a folder) with a fresh EntryID.
  TFakeRef AddFolder(const TFakeRef& parent, const std::string& name,
                     std::int64_t itemType = kFakeMailItems,
                     std::int64_t folderClass = kFakeFolderClass);
  // A mail item; SaveAs writes body to the named file.
  TFakeRef AddItem(const TFakeRef& folder, const std::string& subject,
                   const std::string& body = "body");
  // GetFolderFromID / GetItemFromID no longer find the object.
  void Forget(const TFakeRef& object);

  static std::string EntryIDOf(const TFakeRef& object);

  // SaveAs writes part of the file, then fails.
  bool RefuseSaveAs = false;

 private:
  std::string NextEntryID();
  TOutlookValue FindByEntryID(const std::vector<std::string>& args) const;

  TFakeRef m_application = std::make_shared<TFakeOutlookObject>();
  TFakeRef m_namespace = std::make_shared<TFakeOutlookObject>();
  std::map<std::string, TFakeRef> m_byEntryID;
  int m_nextEntryID = 1;
};

}  // namespace solvane::test
