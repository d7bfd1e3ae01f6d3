#include "FakeOutlook.h"

#include <fstream>

namespace solvane::test {

namespace {

TFakeRef NewCollection() { return std::make_shared<TFakeOutlookObject>(); }

TFakeRef CollectionOf(const TFakeRef& owner, const char* member) {
  return std::static_pointer_cast<TFakeOutlookObject>(
      std::get<TOutlookRef>(owner->Properties.at(member).Value));
}

void Append(const TFakeRef& owner, const char* member, const TFakeRef& entry) {
  TFakeRef collection = CollectionOf(owner, member);
  collection->Entries.push_back(entry);
  collection->Properties["Count"] =
      TOutlookValue::Of(static_cast<std::int64_t>(collection->Entries.size()));
}

TFakeRef NewFolderObject(const std::string& name) {
  auto folder = std::make_shared<TFakeOutlookObject>();
  folder->Properties["Name"] = TOutlookValue::Of(name);
  for (const char* member : {"Folders", "Items"}) {
    TFakeRef collection = NewCollection();
    collection->Properties["Count"] = TOutlookValue::Of(std::int64_t{0});
    folder->Properties[member] = TOutlookValue::Of(TOutlookRef(collection));
  }
  return folder;
}

}  // namespace

TOutlookValue TFakeOutlookObject::Get(std::string_view member) {
  const auto it = Properties.find(member);
  return it == Properties.end() ? TOutlookValue::Refused() : it->second;
}

TOutlookValue TFakeOutlookObject::Item(std::int64_t index) {
  if (index < 1 || index > static_cast<std::int64_t>(Entries.size()))
    return TOutlookValue::Refused();
  return TOutlookValue::Of(Entries[static_cast<std::size_t>(index - 1)]);
}

TOutlookValue TFakeOutlookObject::Call(std::string_view member,
                                       const std::vector<std::string>& args) {
  const auto it = Methods.find(member);
  return it == Methods.end() ? TOutlookValue::Refused() : it->second(args);
}

TFakeOutlook::TFakeOutlook() {
  TFakeRef stores = NewCollection();
  stores->Properties["Count"] = TOutlookValue::Of(std::int64_t{0});
  m_namespace->Properties["Folders"] = TOutlookValue::Of(TOutlookRef(stores));
  m_namespace->Methods["GetFolderFromID"] = [this](const auto& args) {
    return FindByEntryID(args);
  };
  m_namespace->Methods["GetItemFromID"] = [this](const auto& args) { return FindByEntryID(args); };
  m_application->Methods["GetNameSpace"] = [this](const std::vector<std::string>& args) {
    if (args != std::vector<std::string>{"Mapi"}) return TOutlookValue::Refused();
    return TOutlookValue::Of(TOutlookRef(m_namespace));
  };
}

std::string TFakeOutlook::NextEntryID() { return "00000000AB" + std::to_string(m_nextEntryID++); }

std::string TFakeOutlook::EntryIDOf(const TFakeRef& object) {
  return std::get<std::string>(object->Properties.at("EntryID").Value);
}

TOutlookValue TFakeOutlook::FindByEntryID(const std::vector<std::string>& args) const {
  if (args.size() != 1) return TOutlookValue::Refused();
  const auto it = m_byEntryID.find(args[0]);
  return TOutlookValue::Of(it == m_byEntryID.end() ? TOutlookRef() : TOutlookRef(it->second));
}

TFakeRef TFakeOutlook::AddStore(const std::string& name) {
  TFakeRef store = NewFolderObject(name);
  store->Properties["FolderPath"] = TOutlookValue::Of("\\\\" + name);
  store->Properties["DefaultItemType"] = TOutlookValue::Of(kFakeMailItems);
  store->Properties["Class"] = TOutlookValue::Of(kFakeFolderClass);
  Append(m_namespace, "Folders", store);
  return store;
}

TFakeRef TFakeOutlook::AddFolder(const TFakeRef& parent, const std::string& name,
                                 std::int64_t itemType, std::int64_t folderClass) {
  TFakeRef folder = NewFolderObject(name);
  const std::string entryID = NextEntryID();
  folder->Properties["EntryID"] = TOutlookValue::Of(entryID);
  folder->Properties["DefaultItemType"] = TOutlookValue::Of(itemType);
  folder->Properties["Class"] = TOutlookValue::Of(folderClass);
  Append(parent, "Folders", folder);
  m_byEntryID[entryID] = folder;
  return folder;
}

TFakeRef TFakeOutlook::AddItem(const TFakeRef& folder, const std::string& subject,
                               const std::string& body) {
  auto item = std::make_shared<TFakeOutlookObject>();
  const std::string entryID = NextEntryID();
  auto& p = item->Properties;
  p["Subject"] = TOutlookValue::Of(subject);
  p["SenderName"] = TOutlookValue::Of(std::string("Ann"));
  p["To"] = TOutlookValue::Of(std::string("Bob"));
  p["SentOn"] = TOutlookValue::Of(DateTime(std::chrono::hours(24 * 365 * 40)));
  p["ReceivedTime"] = TOutlookValue::Of(DateTime(std::chrono::hours(24 * 365 * 40 + 1)));
  p["Size"] = TOutlookValue::Of(static_cast<std::int64_t>(body.size()));
  p["EntryID"] = TOutlookValue::Of(entryID);
  item->Methods["SaveAs"] = [this, body](const std::vector<std::string>& args) {
    if (args.size() != 1) return TOutlookValue::Refused();
    std::ofstream out(args[0], std::ios::binary | std::ios::trunc);
    // A refused save leaves a cut-off file behind.
    out << (RefuseSaveAs ? body.substr(0, body.size() / 2) : body);
    if (RefuseSaveAs) return TOutlookValue::Refused();
    return out ? TOutlookValue::Of(std::monostate{}) : TOutlookValue::Refused();
  };
  Append(folder, "Items", item);
  m_byEntryID[entryID] = item;
  return item;
}

void TFakeOutlook::Forget(const TFakeRef& object) { m_byEntryID.erase(EntryIDOf(object)); }

}  // namespace solvane::test
