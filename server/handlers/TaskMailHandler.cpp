// The mail choice of a mail task: TTask.SetMCObject / TTask.GetMCObject
// (the folders; the flag sent as "MCIsSelected" comes back as "IsSelected")
// and TTask.SetMCObject_Message / TTask.GetMCObject_Message (the messages
// chosen singly; "MCMessageSentDate" arrives as date-time text and comes
// back as a packed DOS date-time).

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "handlers/TaskAccess.h"
#include "handlers/TaskHandlers.h"
#include "storage/TaskMailStore.h"
#include "handlers/TaskRequest.h"
#include "storage/TaskStore.h"
#include "protocol/Dispatcher.h"

namespace solvane::server {

namespace {

constexpr int kMailTaskKind = 500;
constexpr std::size_t kMaxLocatorBytes = 4096;  // folder path, EntryID, file names
constexpr std::size_t kMaxHeaderBytes = 8192;   // subject, sender

// Stored and handed back as sent: anything but control characters (tabs
// pass, as in a subject), within the length.
bool ReadMailText(TRequestContext& ctx, std::string_view name, int n, std::size_t maxBytes,
                  std::string& out) {
  out = ctx.Str(name, n);
  const bool clean = out.size() <= maxBytes && std::none_of(out.begin(), out.end(), [](char c) {
                       const auto u = static_cast<unsigned char>(c);
                       return (u < 0x20 && u != '\t') || u == 0x7F;
                     });
  if (!clean)
    return ctx.Fail(kErrBadRequest, std::string(name) + " of record " + std::to_string(n) +
                                        " is too long or holds control characters");
  return true;
}

bool ReadMcKind(TRequestContext& ctx, int n, int& out) {
  std::int64_t kind = 0;
  if (!ReadIntInRange(ctx, "MCKind", 0, 2, kind, n)) return false;
  out = static_cast<int>(kind);
  return true;
}

// The user's own mail task; REQUIRES the caller's transaction when it
// changes the task afterwards.
std::optional<TTaskRecord> MailTask(TRequestContext& ctx, const std::string& user,
                                    std::int64_t taskId, TTaskAccess access) {
  auto found = FindTaskOfUser(ctx.Db(), user, taskId);
  if (!found.Ok()) {
    ctx.FailStorage(found.Error());
    return std::nullopt;
  }
  auto& task = *found;
  if (!task) {
    ctx.Fail(kErrNotFound, "no task with this TaskID");
    return std::nullopt;
  }
  if (access == TTaskAccess::kChange && task->IsDefault()) {
    ctx.Fail(kErrForbidden, "a default task is changed by the administrator only");
    return std::nullopt;
  }
  if (task->kind != kMailTaskKind) {
    ctx.Fail(kErrConflict, "the task is no mail task");
    return std::nullopt;
  }
  return task;
}

bool ReadFolderChoice(TRequestContext& ctx, int n, TMailFolderChoice& f) {
  if (!ReadMcKind(ctx, n, f.mcKind) || !ctx.RequireInt("MCFolderParentID", f.parentId, n) ||
      !ctx.RequireInt("MCFolderID", f.folderId, n))
    return false;
  if (!ctx.Str("MCData", n).empty() &&
      !ReadIntInRange(ctx, "MCData", INT32_MIN, INT32_MAX, f.data, n))
    return false;
  f.isSelected = ctx.Bool("MCIsSelected", n);
  return ReadMailText(ctx, "MCCargo", n, kMaxLocatorBytes, f.cargo) &&
         ReadMailText(ctx, "MCFileName1", n, kMaxLocatorBytes, f.fileName1) &&
         ReadMailText(ctx, "MCFileName2", n, kMaxLocatorBytes, f.fileName2);
}

bool ReadMessageChoice(TRequestContext& ctx, int n, TMailMessageChoice& m) {
  if (!ReadMcKind(ctx, n, m.mcKind) || !ctx.RequireInt("MCFolderID", m.folderId, n) ||
      !ctx.RequireInt("MCMessageID", m.messageId, n))
    return false;
  auto sent = DosDateTimeOfText(ctx.Str("MCMessageSentDate", n));
  if (!sent)
    return ctx.Fail(kErrBadRequest, "MCMessageSentDate of record " + std::to_string(n) +
                                        " is not yyyy-mm-dd hh:nn:ss");
  m.sentDate = *sent;
  if (!ctx.Str("MCMessageSize", n).empty() &&
      !ReadIntInRange(ctx, "MCMessageSize", 0, INT64_MAX, m.size, n))
    return false;
  if (!ctx.Str("MCMessageUpdateDate", n).empty() &&
      !ReadIntInRange(ctx, "MCMessageUpdateDate", INT32_MIN, INT32_MAX, m.updateDate, n))
    return false;
  return ReadMailText(ctx, "MCMessageSubject", n, kMaxHeaderBytes, m.subject) &&
         ReadMailText(ctx, "MCMessageSender", n, kMaxHeaderBytes, m.sender) &&
         ReadMailText(ctx, "MCMessageCago", n, kMaxLocatorBytes, m.cargo);
}

void SetMCObject(TRequestContext& ctx) {
  auto user = TaskUserOf(ctx, TTaskAccess::kChange);
  std::int64_t taskId = 0;
  if (!user || !ReadSetCallTask(ctx, *user, taskId)) return;
  std::vector<TMailFolderChoice> folders(static_cast<std::size_t>(ctx.RecordSets()));
  for (int n = 1; n <= ctx.RecordSets(); ++n)
    if (!ReadFolderChoice(ctx, n, folders[static_cast<std::size_t>(n - 1)])) return;
  Transaction tx(ctx.Db());
  auto task = MailTask(ctx, *user, taskId, TTaskAccess::kChange);
  if (!task) return;
  auto replaced = ReplaceMailFolders(ctx.Db(), task->rowId, folders);
  if (!replaced.Ok()) return (void)ctx.FailStorage(replaced.Error());
  tx.Commit();
}

void SetMCObjectMessage(TRequestContext& ctx) {
  auto user = TaskUserOf(ctx, TTaskAccess::kChange);
  std::int64_t taskId = 0;
  if (!user || !ReadSetCallTask(ctx, *user, taskId)) return;
  std::vector<TMailMessageChoice> messages(static_cast<std::size_t>(ctx.RecordSets()));
  for (int n = 1; n <= ctx.RecordSets(); ++n)
    if (!ReadMessageChoice(ctx, n, messages[static_cast<std::size_t>(n - 1)])) return;
  Transaction tx(ctx.Db());
  auto task = MailTask(ctx, *user, taskId, TTaskAccess::kChange);
  if (!task) return;
  // The folder list is sent first; a message of a folder not on it would
  // never be read back.
  auto chosen = MailFolders(ctx.Db(), task->rowId);
  if (!chosen.Ok()) return (void)ctx.FailStorage(chosen.Error());
  std::set<std::int64_t> folderIds;
  for (const auto& f : *chosen) folderIds.insert(f.folderId);
  for (const auto& m : messages)
    if (!folderIds.count(m.folderId))
      return (void)ctx.Fail(kErrConflict, "message of folder " + std::to_string(m.folderId) +
                                              ", which is not among the task's mail folders");
  auto replaced = ReplaceMailMessages(ctx.Db(), task->rowId, messages);
  if (!replaced.Ok()) return (void)ctx.FailStorage(replaced.Error());
  tx.Commit();
}

void GetMCObject(TRequestContext& ctx) {
  auto user = TaskUserOf(ctx, TTaskAccess::kRead);
  std::int64_t taskId = 0;
  if (!user || !ReadTaskId(ctx, taskId)) return;
  auto task = MailTask(ctx, *user, taskId, TTaskAccess::kRead);
  if (!task) return;
  auto folders = MailFolders(ctx.Db(), task->rowId);
  if (!folders.Ok()) return (void)ctx.FailStorage(folders.Error());
  TQorPack& r = ctx.Reply();
  int n = 0;
  for (const auto& f : *folders) {
    r.AddInteger(++n, "MCFolderParentID", f.parentId);
    r.AddInteger(n, "MCFolderID", f.folderId);
    r.AddBoolean(n, "IsSelected", f.isSelected);
    r.AddString(n, "MCFileName1", f.fileName1);
    r.AddString(n, "MCFileName2", f.fileName2);
    r.AddInteger(n, "MCKind", f.mcKind);
    r.AddInteger(n, "MCData", f.data);
    r.AddString(n, "MCCargo", f.cargo);
  }
}

void GetMCObjectMessage(TRequestContext& ctx) {
  auto user = TaskUserOf(ctx, TTaskAccess::kRead);
  std::int64_t taskId = 0, folderId = 0;
  if (!user || !ReadTaskId(ctx, taskId) || !ctx.RequireInt("MCFolderID", folderId)) return;
  auto task = MailTask(ctx, *user, taskId, TTaskAccess::kRead);
  if (!task) return;
  auto messages = MailMessages(ctx.Db(), task->rowId, folderId);
  if (!messages.Ok()) return (void)ctx.FailStorage(messages.Error());
  TQorPack& r = ctx.Reply();
  int n = 0;
  for (const auto& m : *messages) {
    r.AddInteger(++n, "MCMessageID", m.messageId);
    r.AddString(n, "MCMessageSubject", m.subject);
    r.AddString(n, "MCMessageSender", m.sender);
    r.AddInteger(n, "MCMessageSentDate", m.sentDate);
    r.AddInteger(n, "MCFolderID", m.folderId);
    r.AddInteger(n, "MCKind", m.mcKind);
    r.AddInteger(n, "MCMessageSize", m.size);
    r.AddInteger(n, "MCMessageUpdateDate", m.updateDate);
    r.AddString(n, "MCMessageCago", m.cargo);
  }
}

}  // namespace

void RegisterTaskMailOperations(TDispatcher& d) {
  d.Register("TTask.SetMCObject", SetMCObject);
  d.Register("TTask.GetMCObject", GetMCObject);
  d.Register("TTask.SetMCObject_Message", SetMCObjectMessage);
  d.Register("TTask.GetMCObject_Message", GetMCObjectMessage);
}

}  // namespace solvane::server
