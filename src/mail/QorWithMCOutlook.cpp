#include "mail/QorWithMCOutlook.h"

#include <exception>
#include <filesystem>
#include <string_view>
#include <utility>

#include "session/Unit_LocalHelpers.h"
#include "wire/QorWithUiPump.h"

namespace solvane {

namespace {

constexpr char kDialogClass[] = "#32770";
constexpr char kDialogTitle[] = "Microsoft office Outlook";
constexpr char kDialogTitleAlternative[] = "Microsoft Outlook";

constexpr std::int64_t kStoreFactor = 100;      // level 2: i * 100 + j
constexpr std::int64_t kSubStoreFactor = 1000;  // level 3: i * 1000 + j * 100 + k
constexpr std::int64_t kMailItemType = 0;       // DefaultItemType of a mail folder
constexpr std::int64_t kFolderClass = 2;        // Class of a folder object
constexpr std::int64_t kYieldEveryItems = 10;
constexpr char kSeparator = '/';

// A call Outlook refused or answered with something unusable. Raised and
// caught inside this unit only: it ends the listing it happens in.
struct TOutlookCallFailed {
  std::string Member;
};

TOutlookValue Checked(TOutlookValue value, std::string_view member) {
  if (!value.Ok) throw TOutlookCallFailed{std::string(member)};
  return value;
}

// The result as T; an empty result gives T's empty value.
template <class T>
T As(const TOutlookValue& value, std::string_view member) {
  if (const T* v = std::get_if<T>(&value.Value)) return *v;
  if (std::holds_alternative<std::monostate>(value.Value)) return T{};
  throw TOutlookCallFailed{std::string(member)};
}

std::string Text(IOutlookAutomation& o, std::string_view member) {
  return As<std::string>(Checked(o.Get(member), member), member);
}
std::int64_t Integer(IOutlookAutomation& o, std::string_view member) {
  return As<std::int64_t>(Checked(o.Get(member), member), member);
}
DateTime Date(IOutlookAutomation& o, std::string_view member) {
  return As<DateTime>(Checked(o.Get(member), member), member);
}
TOutlookRef NonNull(TOutlookRef object, std::string_view member) {
  if (!object) throw TOutlookCallFailed{std::string(member)};
  return object;
}
TOutlookRef Object(IOutlookAutomation& o, std::string_view member) {
  return NonNull(As<TOutlookRef>(Checked(o.Get(member), member), member), member);
}
std::int64_t Count(IOutlookAutomation& collection) { return Integer(collection, "Count"); }
TOutlookRef Entry(IOutlookAutomation& collection, std::int64_t index) {
  return NonNull(As<TOutlookRef>(Checked(collection.Item(index), "Item"), "Item"), "Item");
}
// A method's object result; null when Outlook answers "nothing".
TOutlookRef CallForObject(IOutlookAutomation& o, std::string_view member, std::string arg) {
  return As<TOutlookRef>(Checked(o.Call(member, {std::move(arg)}), member), member);
}

bool IsMailFolder(IOutlookAutomation& folder) {
  return Integer(folder, "DefaultItemType") == kMailItemType &&
         Integer(folder, "Class") == kFolderClass;
}

// Runs work; the text of what stopped it, empty when it completed.
template <class F>
std::string Guarded(F&& work) {
  try {
    work();
    return {};
  } catch (const TOutlookCallFailed& failed) {
    return "Outlook refused or failed the call " + failed.Member;
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "unknown error while talking to Outlook";
  }
}

// Lets the window handle its events during a long listing; nothing (and no
// pause) away from the user-interface thread.
void YieldToUi() {
  if (!IsUiThread()) return;
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
  PumpUi();
}

std::string DirectoryPartOf(const std::string& fileName) {
  const auto slash = fileName.find_last_of(kSeparator);
  return slash == std::string::npos ? std::string() : fileName.substr(0, slash + 1);
}

TQorMCMessage MessageOf(IOutlookAutomation& item, std::int64_t position, std::int64_t folderID) {
  TQorMCMessage m;
  m.MessageID = position;
  m.Subject = Text(item, "Subject");
  m.Sender = Text(item, "SenderName");
  m.Receiver = Text(item, "To");
  m.SendDate = Date(item, "SentOn");
  m.ReceiveDate = Date(item, "ReceivedTime");
  m.Size = Integer(item, "Size");
  m.Offset = -1;
  m.FolderID = folderID;
  m.Cargo = Text(item, "EntryID");
  return m;
}

}  // namespace

// ---- TQorOutlookMonitor ----

TQorOutlookMonitor::TQorOutlookMonitor(std::shared_ptr<IDialogFinder> finder,
                                       std::chrono::milliseconds interval)
    : m_finder(std::move(finder)),
      m_interval(interval),
      m_thread([this](std::stop_token stop) { Run(std::move(stop)); }) {}

TQorOutlookMonitor::~TQorOutlookMonitor() {
  m_thread.request_stop();
  if (m_thread.joinable()) m_thread.join();
}

bool TQorOutlookMonitor::Pass(IDialogFinder& finder) {
  auto dialog = finder.FindTopLevel(kDialogClass, kDialogTitle);
  if (!dialog) dialog = finder.FindTopLevel(kDialogClass, kDialogTitleAlternative);
  if (!dialog) return false;
  finder.BringToFront(*dialog);
  return true;
}

void TQorOutlookMonitor::Run(std::stop_token stop) {
  std::unique_lock lock(m_mutex);
  while (!stop.stop_requested()) {
    if (m_finder) {
      lock.unlock();
      Pass(*m_finder);
      lock.lock();
    }
    // Returns at once when a stop is requested.
    m_wake.wait_for(lock, stop, m_interval, [] { return false; });
  }
}

// ---- TQorOutlook ----

TQorOutlook::TQorOutlook(TOutlookRef application, std::shared_ptr<IDialogFinder> finder)
    : TQorCustomMC(kMCKindOutlook),
      m_monitor(std::make_unique<TQorOutlookMonitor>(std::move(finder))) {
  if (!application) return;
  const std::string error = Guarded([&] {
    TOutlookRef ns = NonNull(CallForObject(*application, "GetNameSpace", "Mapi"), "GetNameSpace");
    m_application = std::move(application);
    m_namespace = std::move(ns);
  });
  Installed = error.empty();
}

TQorOutlook::~TQorOutlook() {
  m_monitor.reset();
  m_namespace.reset();
  m_application.reset();
}

void TQorOutlook::Init() {
  if (!Installed || Loaded) return;
  // A listing that failed before is started over, not appended to.
  Folders.Clear();
  m_lastReadError = Guarded([&] { ListFolders(); });
  Loaded = m_lastReadError.empty();
}

void TQorOutlook::ListFolders() {
  const TOutlookRef stores = Object(*m_namespace, "Folders");
  const std::int64_t storeCount = Count(*stores);
  for (std::int64_t i = 1; i <= storeCount; ++i) {
    const TOutlookRef store = Entry(*stores, i);
    if (IsTaken(i)) continue;
    AddFolder(i, -1, Text(*store, "Name"), Text(*store, "FolderPath"));
    ListStoreFolders(*store, i);
  }
}

// Levels 2 and 3 below store i. A folder whose identifier another folder
// holds already is left out with its subfolders, so that an identifier
// never names two folders (the numbering cannot keep them apart from ten
// stores, ten folders of a store or a hundred subfolders on).
void TQorOutlook::ListStoreFolders(IOutlookAutomation& store, std::int64_t i) {
  const TOutlookRef folders = Object(store, "Folders");
  const std::int64_t folderCount = Count(*folders);
  for (std::int64_t j = 1; j <= folderCount; ++j) {
    const TOutlookRef f = Entry(*folders, j);
    const std::int64_t id = i * kStoreFactor + j;
    if (!IsMailFolder(*f) || IsTaken(id)) continue;
    AddFolder(id, i, Text(*f, "Name"), Text(*f, "EntryID"));
    const TOutlookRef subfolders = Object(*f, "Folders");
    const std::int64_t subCount = Count(*subfolders);
    for (std::int64_t k = 1; k <= subCount; ++k) {
      const TOutlookRef g = Entry(*subfolders, k);
      const std::int64_t subID = i * kSubStoreFactor + j * kStoreFactor + k;
      if (!IsMailFolder(*g) || IsTaken(subID)) continue;
      AddFolder(subID, id, Text(*g, "Name"), Text(*g, "EntryID"));
    }
  }
}

void TQorOutlook::AddFolder(std::int64_t id, std::int64_t parentID, std::string name,
                            std::string cargo) {
  TQorMCFolderObject folder;
  folder.FolderID = id;
  folder.ParentID = parentID;
  folder.Name = std::move(name);
  folder.Cargo = std::move(cargo);
  Folders.Add(std::move(folder));
}

void TQorOutlook::ReadMessage(TQorMCFolderObject& folder, bool force) {
  m_lastReadError.clear();
  if (!Installed || folder.ParentID < 0 || (folder.IsLoaded && !force)) return;
  folder.Messages.Clear();
  folder.IsLoaded = false;
  // On an error the items listed so far stay; the folder stays not loaded.
  m_lastReadError = Guarded([&] { ListItems(folder); });
}

void TQorOutlook::ListItems(TQorMCFolderObject& folder) {
  const TOutlookRef f = CallForObject(*m_namespace, "GetFolderFromID", folder.Cargo);
  if (!f) return;  // a folder Outlook no longer knows
  const TOutlookRef items = Object(*f, "Items");
  const std::int64_t itemCount = Count(*items);
  for (std::int64_t i = 1; i <= itemCount; ++i) {
    const TOutlookRef item = Entry(*items, i);
    folder.Messages.Add(MessageOf(*item, i, folder.FolderID));
    if (i % kYieldEveryItems == 0) YieldToUi();
  }
  folder.IsLoaded = true;
}

TQorMCExportResult TQorOutlook::ExportMessage(const TQorMCFolderObject& folder,
                                              const TQorMCMessage& message,
                                              const std::string& fileName) {
  (void)folder;
  if (!Installed) return {false, "Outlook is not installed"};
  TQorMCExportResult result;
  const std::string error = Guarded([&] {
    const TOutlookRef item = CallForObject(*m_namespace, "GetItemFromID", message.Cargo);
    if (!item) {
      result.Error = "Outlook does not know the message";
      return;
    }
    EnsureFolder(DirectoryPartOf(fileName));
    std::error_code ec;
    const bool existed = std::filesystem::exists(fileName, ec);
    if (item->Call("SaveAs", {fileName}).Ok) {
      result.Ok = true;
      return;
    }
    // What a refused save may have left behind is not the message.
    if (!existed) std::filesystem::remove(fileName, ec);
    result.Error = "Outlook did not save the message to " + fileName;
  });
  if (!error.empty()) result = {false, error};
  return result;
}

}  // namespace solvane
