#include "cli/CmdShare.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>

#include "cli/CliTaskWait.h"
#include "platform/Terminal.h"
#include "session/DosDateTime.h"
#include "session/Unit_LocalHelpers.h"
#include "client/Unit_PublicInfo.h"
#include "tasks/ShareAreaCalls.h"
#include "tasks/TTaskObject_ShareFile.h"
#include "wire/QorWithPack.h"

namespace solvane::cli {

namespace {

namespace fs = std::filesystem;

constexpr int kFailed = 1;
constexpr int kRefused = 2;  // usage, unknown folder or file, password

std::optional<std::int32_t> ParseFolderId(const std::string& text) {
  std::int32_t id = 0;
  auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), id);
  if (ec != std::errc() || p != text.data() + text.size() || id <= 0) return std::nullopt;
  return id;
}

std::string DateText(std::int64_t packed) {
  DateTime t;
  if (packed <= 0 || !DosToDateTime(static_cast<std::uint32_t>(packed), t)) return "-";
  return FormatDateTime(t);
}

// The folder's password from the option, the environment or the terminal;
// nullopt when none was given.
std::optional<std::string> SharePassword(const TCliOptions& o, const TShareFolderInfo& folder) {
  if (o.sharePassword) return o.sharePassword;
  if (const char* env = std::getenv("SOLVANE_SHARE_PASSWORD")) return std::string(env);
  auto typed = ReadSecretLine("password of share folder " + std::to_string(folder.ID) + " (" +
                              folder.Name + "): ");
  if (!typed || typed->empty()) return std::nullopt;
  return typed;
}

struct TOpenedFolder {
  TShareFolderInfo Folder;
  std::vector<TShareFileInfo> Files;
};

// Finds the folder and opens it (listing its files); a protected folder of
// another user is unlocked for this session with its password. nullopt
// after an error message; rc holds the exit status then.
std::optional<TOpenedFolder> OpenFolder(TPublicInfo& info, const TCliOptions& o, std::int32_t id,
                                        int& rc) {
  rc = kFailed;
  std::vector<TShareFolderInfo> folders;
  if (TShareCallResult r = SelectShareFolders(info, folders); r != TShareCallResult::kOk) {
    std::cerr << "error: the share folders could not be listed: " << ShareCallMessage(r, id)
              << "\n";
    return std::nullopt;
  }
  TOpenedFolder opened;
  auto it = std::find_if(folders.begin(), folders.end(),
                         [id](const TShareFolderInfo& f) { return f.ID == id; });
  if (it == folders.end()) {
    std::cerr << "error: there is no share folder " << id << " (see: solvane-cli share ls)\n";
    rc = kRefused;
    return std::nullopt;
  }
  opened.Folder = *it;
  std::string password;
  if (NeedsSharePassword(opened.Folder, info.UserCode())) {
    auto given = SharePassword(o, opened.Folder);
    if (!given) {
      std::cerr << "error: share folder " << id << " is protected and no password was given\n";
      rc = kRefused;
      return std::nullopt;
    }
    password = *given;
  }
  TShareCallResult r = OpenShareFolder(info, id, password, opened.Files);
  if (r != TShareCallResult::kOk) {
    std::cerr << "error: " << ShareCallMessage(r, id) << "\n";
    if (r == TShareCallResult::kWrongPassword || r == TShareCallResult::kTooManyAttempts ||
        r == TShareCallResult::kLocked)
      rc = kRefused;
    return std::nullopt;
  }
  return opened;
}

int ListFolders(TPublicInfo& info) {
  std::vector<TShareFolderInfo> folders;
  if (TShareCallResult r = SelectShareFolders(info, folders); r != TShareCallResult::kOk) {
    std::cerr << "error: the share folders could not be listed: " << ShareCallMessage(r, 0) << "\n";
    return kFailed;
  }
  for (const TShareFolderInfo& f : folders)
    std::cout << f.ID << "\t" << f.Name << "\t" << f.Owner << "\t"
              << (f.HasPassword ? "protected" : "open") << "\t"
              << (f.IsReadOnly ? "read-only" : "writable") << "\tparent " << f.ParentID << "\t"
              << f.Comment << "\n";
  return 0;
}

int ListFiles(TPublicInfo& info, const TCliOptions& o, std::int32_t id) {
  int rc = 0;
  auto opened = OpenFolder(info, o, id, rc);
  if (!opened) return rc;
  for (const TShareFileInfo& f : opened->Files)
    std::cout << f.ObjectName << "\t" << GroupThousands(f.ObjectSize) << "\t"
              << DateText(f.ObjectDate) << "\n";
  return 0;
}

int Put(TPublicInfo& info, const TCliOptions& o, std::int32_t id) {
  std::vector<std::string> paths;
  for (std::size_t i = 2; i < o.args.size(); ++i) {
    std::error_code ec;
    fs::path path = fs::absolute(o.args[i], ec).lexically_normal();
    std::string text = path.string();
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    if (ec || !fs::exists(text, ec)) {
      std::cerr << "error: " << o.args[i] << " does not exist\n";
      return kRefused;
    }
    paths.push_back(text);
  }
  int rc = 0;
  auto opened = OpenFolder(info, o, id, rc);
  if (!opened) return rc;
  if (opened->Folder.IsReadOnly && opened->Folder.Owner != info.UserCode()) {
    std::cerr << "error: share folder " << id << " is read-only: only its owner "
              << opened->Folder.Owner << " adds files\n";
    return kFailed;
  }
  return StartAndWait(info, MakeShareUploadTask(info, id, paths));
}

int Get(TPublicInfo& info, const TCliOptions& o, std::int32_t id) {
  const std::string& name = o.args[2];
  std::error_code ec;
  const std::string dir = fs::absolute(o.args[3], ec).lexically_normal().string();
  if (ec || (fs::exists(dir, ec) && !fs::is_directory(dir, ec))) {
    std::cerr << "error: " << o.args[3] << " is not a folder\n";
    return kRefused;
  }
  int rc = 0;
  auto opened = OpenFolder(info, o, id, rc);
  if (!opened) return rc;
  auto it = std::find_if(opened->Files.begin(), opened->Files.end(),
                         [&](const TShareFileInfo& f) { return f.ObjectName == name; });
  if (it == opened->Files.end()) {
    std::cerr << "error: share folder " << id << " holds no file " << name << "\n";
    return kRefused;
  }
  // As the share screen does: an existing file is replaced, its previous
  // copy kept beside it under the ".tmp" name (the task says so).
  auto task =
      MakeShareDownloadTask(info, id, {{it->ObjectName, it->ObjectSize, it->ObjectDate}}, dir);
  const fs::path target = fs::path(dir) / fs::path(name).filename();
  const bool existed = fs::exists(target, ec);
  const int status = StartAndWait(info, task);
  const auto& counters = task->PostBag.Counters();
  if (status == 0 && counters.TotalFileCount.load() == 0)
    std::cerr << "note: " << target.string() << " is the same file already\n";
  else if (status == 0 && existed && counters.FileDoneCount.load() == 1)
    std::cerr << "note: the previous copy is kept as " << target.string() << ".tmp\n";
  return status;
}

}  // namespace

bool CheckShareArgs(const std::vector<std::string>& args, std::string& error) {
  const std::string sub = args.empty() ? "" : args[0];
  const std::size_t n = args.size();
  if (sub == "ls" && n <= 2) return true;
  if (sub == "put" && n >= 3) return true;
  if (sub == "get" && n == 4) return true;
  if (sub == "ls" || sub == "put" || sub == "get")
    error = "share " + sub + " takes " +
            (sub == "ls"    ? "at most one folder ID"
             : sub == "put" ? "a folder ID and at least one file"
                            : "a folder ID, a file name and a local folder");
  else
    error = "share takes ls, put or get";
  return false;
}

int RunShareCommand(TPublicInfo& info, const TCliOptions& o) {
  const std::string& sub = o.args[0];
  if (sub == "ls" && o.args.size() == 1) return ListFolders(info);
  const auto id = ParseFolderId(o.args[1]);
  if (!id) {
    std::cerr << "error: " << o.args[1] << " is no share folder ID (see: solvane-cli share ls)\n";
    return kRefused;
  }
  if (sub == "ls") return ListFiles(info, o, *id);
  if (sub == "put") return Put(info, o, *id);
  return Get(info, o, *id);
}

}  // namespace solvane::cli
