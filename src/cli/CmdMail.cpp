#include "cli/CmdMail.h"

#include <charconv>
#include <functional>
#include <filesystem>
#include <iostream>
#include <map>
#include <set>

#include "api/BrowseApi.h"
#include "cli/CliTaskWait.h"
#include "cli/CliMailOptions.h"
#include "mail/QorWithMCFoxmail.h"
#include "mail/QorWithMCOutlookExpress.h"
#include "mail/QorWithMCService.h"
#include "client/TaskMakers.h"
#include "client/Unit_PublicInfo.h"
#include "tasks/TTaskObject_File.h"
#include "tasks/TTaskObject_MC.h"

namespace solvane::cli {

namespace {

constexpr int kFailed = 1;
constexpr int kRefused = 2;  // usage, unknown kind or folder, no store

const std::map<std::string, int> kKinds = {
    {"foxmail", kMCKindFoxmail}, {"outlook", kMCKindOutlook}, {"oe", kMCKindOutlookExpress}};

// An absolute form of a folder typed on the command line, without a
// trailing separator.
std::string AbsoluteFolder(const std::string& typed) {
  std::error_code ec;
  std::string path = std::filesystem::absolute(typed, ec).lexically_normal().string();
  if (ec) path = typed;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::optional<std::int64_t> ParseId(const std::string& text) {
  std::int64_t v = 0;
  auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || p != text.data() + text.size()) return std::nullopt;
  return v;
}

struct TMessagePick {
  std::int64_t FolderID = 0;
  std::int64_t MessageID = 0;
};

std::optional<TMessagePick> ParsePick(const std::string& text) {
  const auto colon = text.find(':');
  if (colon == std::string::npos) return std::nullopt;
  auto folder = ParseId(text.substr(0, colon));
  auto message = ParseId(text.substr(colon + 1));
  if (!folder || !message) return std::nullopt;
  return TMessagePick{*folder, *message};
}

// The folder's name below its parents' names ("ann/收件箱").
std::string FolderPath(const TQorCustomMC& reader, const TQorMCFolderObject& folder) {
  std::string path = folder.Name;
  std::set<std::int64_t> seen{folder.FolderID};
  for (const TQorMCFolderObject* p = reader.Folders.FindByID(folder.ParentID);
       p && seen.insert(p->FolderID).second; p = reader.Folders.FindByID(p->ParentID))
    path.insert(0, p->Name + "/");
  return path;
}

// The reader's folders that text names: by ID, by path or by name.
std::vector<const TQorMCFolderObject*> MatchFolders(const TQorCustomMC& reader,
                                                    const std::string& text) {
  std::vector<const TQorMCFolderObject*> byId, byPath, byName;
  const auto id = ParseId(text);
  for (const auto& f : reader.Folders) {
    if (id && f->FolderID == *id) byId.push_back(f.get());
    if (FolderPath(reader, *f) == text) byPath.push_back(f.get());
    if (f->Name == text) byName.push_back(f.get());
  }
  if (!byId.empty()) return byId;
  return byPath.empty() ? byName : byPath;
}

// The kind's reader, activated; with --store it reads that store instead of
// the one the registry names. Null after an error message.
TQorCustomMC* OpenReader(TPublicInfo& info, const TCliOptions& o, int kind, int& rc) {
  rc = kRefused;
  TQorCustomMC* reader = ActiveMailReader(info.MailService(), kind);
  const std::string kindName = TQorMCService::GetKindName(kind);
  if (reader && o.mail.store) {
    if (auto* fox = dynamic_cast<TQorFoxMail*>(reader))
      fox->OpenStore(AbsoluteFolder(*o.mail.store));
    else if (auto* oe = dynamic_cast<TQorOutlookExpress*>(reader))
      oe->OpenStore(AbsoluteFolder(*o.mail.store));
    else {
      std::cerr << "error: --store does not apply to " << kindName << "\n";
      return nullptr;
    }
  }
  if (!reader || !reader->Installed) {
    std::cerr << "error: no " << kindName << " store was found on this machine"
              << (kind == kMCKindOutlook ? "" : "; give --store DIR") << "\n";
    return nullptr;
  }
  rc = 0;
  return reader;
}

int KindOf(const TCliOptions& o) { return kKinds.at(*o.mail.kind); }

int ListFolders(TPublicInfo& info, const TCliOptions& o) {
  const int kind = KindOf(o);
  auto lock = LockMailReaders();
  int rc = 0;
  TQorCustomMC* reader = OpenReader(info, o, kind, rc);
  if (!reader) return rc;
  std::cout << "folder\tparent\tmessages\tname\n";
  for (const auto& f : reader->Folders) {
    reader->ReadMessage(*f, false);
    const std::string count = f->IsLoaded ? std::to_string(f->Messages.Count()) : "-";
    std::cout << f->FolderID << "\t" << f->ParentID << "\t" << count << "\t"
              << FolderPath(*reader, *f) << "\n";
  }
  return 0;
}

// The task's choice: the named folders whole, and the picked messages.
TMailTaskChoice Choice(const TCliOptions& o, std::vector<std::pair<std::int64_t, std::int64_t>> whole,
                   std::function<std::int64_t(std::int64_t)> parentOf) {
  TMailTaskChoice choice{std::move(whole), {}, std::move(parentOf)};
  for (const auto& text : o.mail.messages) {
    const TMessagePick pick = *ParsePick(text);
    choice.Messages.emplace_back(pick.FolderID, pick.MessageID);
  }
  return choice;
}

int Backup(TPublicInfo& info, const TCliOptions& o) {
  const int kind = KindOf(o);
  const std::string kindName = TQorMCService::GetKindName(kind);
  std::vector<std::pair<std::int64_t, std::int64_t>> whole;
  std::map<std::int64_t, std::int64_t> parents;
  {
    auto lock = LockMailReaders();
    int rc = 0;
    TQorCustomMC* reader = OpenReader(info, o, kind, rc);
    if (!reader) return rc;
    for (const auto& f : reader->Folders) parents.emplace(f->FolderID, f->ParentID);
    for (std::size_t i = 1; i < o.args.size(); ++i) {
      const auto found = MatchFolders(*reader, o.args[i]);
      if (found.size() == 1) {
        whole.emplace_back(found[0]->ParentID, found[0]->FolderID);
      } else if (found.size() > 1) {
        std::cerr << "error: " << o.args[i] << " names several " << kindName
                  << " folders; give one of their IDs:";
        for (const auto* f : found) std::cerr << " " << f->FolderID;
        std::cerr << "\n";
        return kRefused;
      } else if (auto id = ParseId(o.args[i])) {
        // Backed up as chosen: the run counts it as a failed folder.
        std::cerr << "warning: " << kindName << " has no folder " << *id << "\n";
        whole.emplace_back(-1, *id);
      } else {
        std::cerr << "error: " << kindName << " has no folder named " << o.args[i]
                  << " (see: solvane-cli mail list --kind " << *o.mail.kind << ")\n";
        return kRefused;
      }
    }
  }
  const auto choice = Choice(o, std::move(whole), [&](std::int64_t id) {
    auto it = parents.find(id);
    return it == parents.end() ? std::int64_t{-1} : it->second;
  });
  return StartAndWait(info, MakeMailBackupTask(info, kind, choice));
}

// The server's mail folders of a kind: folder ID -> parent IDs.
bool StoredFolders(TPublicInfo& info, int kind, std::multimap<std::int64_t, std::int64_t>& out) {
  const auto folders =
      api::BrowerShowMCObjectFolder(info.Pool(), info.UserCode(), TQorMCService::GetKindName(kind));
  if (!folders) return false;
  // An ID that is no number reads as 0.
  auto number = [](const std::string& text) {
    std::int64_t v = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, v);
    return ec == std::errc() && ptr == end ? v : std::int64_t{0};
  };
  for (const api::TStoreMailFolder& f : folders.value)
    out.emplace(number(f.ObjectName), number(f.ObjectFolder));
  return true;
}

int Restore(TPublicInfo& info, const TCliOptions& o) {
  const int kind = KindOf(o);
  const std::string kindName = TQorMCService::GetKindName(kind);
  std::multimap<std::int64_t, std::int64_t> stored;
  if (!StoredFolders(info, kind, stored)) {
    std::cerr << "error: the server could not list the " << kindName << " mail store\n";
    return kFailed;
  }
  std::vector<std::pair<std::int64_t, std::int64_t>> whole;
  auto addStored = [&](std::int64_t id) {
    auto [first, last] = stored.equal_range(id);
    if (first == last) {
      std::cerr << "warning: the server holds no " << kindName << " folder " << id << "\n";
      whole.emplace_back(-1, id);  // counted as a failed folder
    }
    for (auto it = first; it != last; ++it) whole.emplace_back(it->second, id);
  };
  for (std::size_t i = 1; i < o.args.size(); ++i) {
    if (auto id = ParseId(o.args[i])) {
      addStored(*id);
      continue;
    }
    // A name is looked up in the local store.
    auto lock = LockMailReaders();
    int rc = 0;
    TQorCustomMC* reader = OpenReader(info, o, kind, rc);
    if (!reader) return rc;
    const auto found = MatchFolders(*reader, o.args[i]);
    if (found.size() != 1) {
      std::cerr << "error: " << o.args[i] << " names " << (found.empty() ? "no" : "several") << " "
                << kindName << " folder" << (found.empty() ? "" : "s") << "; give the folder ID\n";
      return kRefused;
    }
    addStored(found[0]->FolderID);
  }
  const auto choice = Choice(o, std::move(whole), [&](std::int64_t id) {
    auto it = stored.find(id);
    return it == stored.end() ? std::int64_t{-1} : it->second;
  });
  TRestoreTarget target;
  if (o.to) target.Folder = AbsoluteFolder(*o.to);
  target.Flat = o.flat;
  target.Overwrite = o.overwrite;
  std::cerr << "restoring into " << (o.to ? AbsoluteFolder(*o.to) : info.CacheFolder()) << "\n";
  return StartAndWait(info, MakeMailRestoreTask(info, kind, choice, target));
}

}  // namespace

bool ParseMailOption(const std::vector<std::string>& argv, std::size_t& i, TMailCliOptions& mail,
                     bool& handled, std::string& error) {
  const std::string& a = argv[i];
  std::optional<std::string>* single = a == "--kind"    ? &mail.kind
                                       : a == "--store" ? &mail.store
                                                        : nullptr;
  handled = single != nullptr || a == "--message";
  if (!handled) return true;
  if (i + 1 >= argv.size()) {
    error = a + " needs a value";
    return false;
  }
  if (single)
    *single = argv[++i];
  else
    mail.messages.push_back(argv[++i]);
  return true;
}

bool CheckMailArgs(const TCliOptions& o, std::string& error) {
  const std::string sub = o.args.empty() ? "" : o.args[0];
  if (sub != "list" && sub != "backup" && sub != "restore") {
    error = "mail takes list, backup or restore";
    return false;
  }
  if (!o.mail.kind || !kKinds.count(*o.mail.kind)) {
    error = "mail " + sub + " needs --kind foxmail, oe or outlook";
    return false;
  }
  for (const auto& pick : o.mail.messages)
    if (!ParsePick(pick)) {
      error = "--message takes FOLDERID:MESSAGEID, not " + pick;
      return false;
    }
  if (sub == "list" && (o.args.size() > 1 || !o.mail.messages.empty())) {
    error = "mail list takes no folders";
    return false;
  }
  if (sub != "list" && o.args.size() < 2 && o.mail.messages.empty()) {
    error = "mail " + sub + " needs at least one folder or --message";
    return false;
  }
  if (sub != "restore" && o.to) {
    error = "--to applies to mail restore only";
    return false;
  }
  return true;
}

bool IsOfflineMailCommand(const TCliOptions& o) {
  return o.command == "mail" && !o.args.empty() && o.args[0] == "list";
}

int RunMailCommand(TPublicInfo& info, const TCliOptions& o) {
  const std::string& sub = o.args[0];
  if (sub == "list") return ListFolders(info, o);
  if (sub == "backup") return Backup(info, o);
  return Restore(info, o);
}

std::string MailUsage() {
  return "  mail list --kind foxmail|oe|outlook [--store DIR]\n"
         "                                 the mail client's folders with IDs and message counts\n"
         "  mail backup --kind K [--store DIR] [--message FOLDERID:MESSAGEID]... FOLDER...\n"
         "                                 back up whole folders (ID, name or path) and single\n"
         "                                 messages (one-off task, kind 500)\n"
         "  mail restore --kind K [--to DIR [--flat]] [--overwrite]\n"
         "              [--message FOLDERID:MESSAGEID]... FOLDER...\n"
         "                                 bring stored messages back as .eml/.msg files into\n"
         "                                 DIR/<client>/<parent>/<folder>/ (default: the cache "
         "folder)\n"
         "  --store DIR: the Foxmail directory or the Outlook Express store folder to read\n"
         "  instead of the one the registry names.\n";
}

}  // namespace solvane::cli
