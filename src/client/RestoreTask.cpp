#include "client/RestoreTask.h"

#include <charconv>
#include <set>

#include "mail/QorWithMCService.h"

#include "session/Unit_LocalHelpers.h"
#include "tasks/EngineContext.h"
#include "tasks/RestoreTarget.h"
#include "tasks/Unit_Handler_TaskObjectList.h"

namespace solvane {

namespace {

bool IsInside(const std::string& path, const std::string& folder) {
  const std::string prefix = folder.ends_with('/') ? folder : folder + "/";
  return path.size() > prefix.size() && path.starts_with(prefix);
}

bool IsSameObject(const TServerChoice& a, const TServerChoice& b) {
  return a.Path == b.Path && a.IsFolder == b.IsFolder && a.Version == b.Version &&
         a.Size == b.Size && a.Date == b.Date;
}

// The first file whose local target another chosen file has too; empty
// when none.
std::string SharedTarget(const std::vector<TServerChoice>& objects, const TRestoreTarget& target) {
  const int isDefine = !target.Folder ? 0 : (target.Flat ? 2 : 1);
  std::set<std::string> seen;
  for (const TServerChoice& o : objects) {
    if (o.IsFolder) continue;
    const auto local = RestoreTargetPath(o.Path, isDefine, target.Folder.value_or(""));
    if (local && !seen.insert(*local).second) return o.Path;
  }
  return {};
}

// The first object without a place of this platform under the original
// place rule; empty when all have one.
std::string OutsidePlatform(const std::vector<TServerChoice>& objects) {
  for (const TServerChoice& o : objects)
    if (!RestoreTargetPath(o.Path, 0, "")) return o.Path;
  return {};
}

}  // namespace

std::vector<TServerChoice> WithoutCovered(const std::vector<TServerChoice>& objects) {
  std::vector<TServerChoice> kept;
  for (std::size_t i = 0; i < objects.size(); ++i) {
    const TServerChoice& o = objects[i];
    bool covered = false;
    for (std::size_t j = 0; j < objects.size() && !covered; ++j)
      covered = j != i && objects[j].IsFolder && IsInside(o.Path, objects[j].Path);
    for (const TServerChoice& k : kept) covered = covered || IsSameObject(k, o);
    if (!covered) kept.push_back(o);
  }
  return kept;
}

TRestoreMade CreateRestoreTask(IEngineContext& ctx, const TRestoreOrder& order) {
  TRestoreMade made;
  if (ctx.Tasks().NewTaskID(ctx.Now()) < 0) {
    made.Refusal = TRestoreRefusal::NoTaskID;
    return made;
  }
  if (order.TaskKind == kKindMailClient) {
    if (order.Mail.WholeFolders.empty() && order.Mail.Messages.empty()) {
      made.Refusal = TRestoreRefusal::Empty;
      return made;
    }
    made.Task = MakeMailRestoreTask(ctx, order.MailKind, order.Mail, order.Target);
  } else {
    const std::vector<TServerChoice> objects = WithoutCovered(order.Objects);
    if (objects.empty()) {
      made.Refusal = TRestoreRefusal::Empty;
      return made;
    }
    made.Path = order.Target.Folder ? "" : OutsidePlatform(objects);
    if (!made.Path.empty()) {
      made.Refusal = TRestoreRefusal::NotThisPlatform;
      return made;
    }
    made.Path = SharedTarget(objects, order.Target);
    if (!made.Path.empty()) {
      made.Refusal = TRestoreRefusal::TwoVersions;
      return made;
    }
    made.Task = MakeFileRestoreTask(ctx, order.TaskKind, objects, order.Target);
  }
  // A fresh record, not yet shared with the engine.
  if (!order.ViewUser.empty()) made.Task->UCode = order.ViewUser;
  return made;
}

bool AddAndStartRestore(IEngineContext& ctx, const TTaskObjectPtr& task) {
  const std::int32_t id = task->TaskID;
  ctx.Tasks().Add(task);
  return ctx.Tasks().RequestStart(id, false, ctx.Now());
}

}  // namespace solvane

namespace solvane {

namespace {

std::optional<std::int64_t> WholeNumber(const std::string& text) {
  std::int64_t v = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, v);
  if (text.empty() || ec != std::errc() || ptr != end) return std::nullopt;
  return v;
}

}  // namespace

std::optional<int> MailKindOfName(const std::string& kindName) {
  for (int kind : {kMCKindFoxmail, kMCKindOutlook, kMCKindOutlookExpress})
    if (TQorMCService::GetKindName(kind) == kindName) return kind;
  return std::nullopt;
}

std::optional<TMailStorePlace> ParseMailStoreFolder(const std::string& folder) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : folder + "/") {
    if (c != '/' && c != '\\') {
      current += c;
    } else if (!current.empty()) {
      parts.push_back(std::move(current));
      current.clear();
    }
  }
  if (parts.size() != 3) return std::nullopt;
  const auto kind = MailKindOfName(parts[0]);
  const auto parent = WholeNumber(parts[1]);
  const auto id = WholeNumber(parts[2]);
  if (!kind || !parent || !id) return std::nullopt;
  return TMailStorePlace{*kind, *parent, *id};
}

std::optional<TSeekPlace> ParseSeekFolder(const std::string& objectFolder) {
  const auto bar = objectFolder.find('|');
  if (bar == std::string::npos) return std::nullopt;
  const auto kind = WholeNumber(objectFolder.substr(0, bar));
  if (!kind || (*kind != kKindFileBackup && *kind != kKindFileSync && *kind != kKindMailClient))
    return std::nullopt;
  return TSeekPlace{static_cast<int>(*kind), objectFolder.substr(bar + 1)};
}

}  // namespace solvane
