#pragma once
// One restore as the screens and the command-line client ask for it: the
// store it reads (whose, which kind), the chosen objects and where they go.
// CreateRestoreTask checks the choice before anything is made: a choice that
// cannot be restored safely is refused with the path that is in the way.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "client/TaskMakers.h"

namespace solvane {

struct TRestoreOrder {
  std::string ViewUser;  // the store's owner; empty: the signed-in user
  int TaskKind = 100;    // 100 backup store, 200 sync store, 500 mail store
  std::vector<TServerChoice> Objects;  // kinds 100 and 200
  int MailKind = 0;                    // kind 500: kMCKind* and the choice
  TMailTaskChoice Mail;
  TRestoreTarget Target;
};

enum class TRestoreRefusal {
  None,
  Empty,            // nothing left to restore
  TwoVersions,      // two chosen objects land on one local file
  NotThisPlatform,  // the original place is no absolute path here
  NoTaskID,         // the clock gives no task ID
};

struct TRestoreMade {
  TTaskObjectPtr Task;  // null when refused
  TRestoreRefusal Refusal = TRestoreRefusal::None;
  std::string Path;  // the server path the refusal names
};

// The objects that are restored: an object inside a chosen folder is left
// out (the folder brings it), and so is a repeat of the same object.
std::vector<TServerChoice> WithoutCovered(const std::vector<TServerChoice>& objects);

// Makes the restore task of the order (not yet in the task list). Refused:
// nothing chosen; two chosen files with the same local target (two versions
// of one file, or same-named files restored flat), which would be written
// at once; an original place that is no path of this platform.
TRestoreMade CreateRestoreTask(IEngineContext& ctx, const TRestoreOrder& order);

// Adds the task to the list and asks for a manual start; false when the
// list refuses the start (the task stays in the list).
bool AddAndStartRestore(IEngineContext& ctx, const TTaskObjectPtr& task);

}  // namespace solvane

namespace solvane {

// The mail client kind (kMCKind*) of a kind name of the mail store.
std::optional<int> MailKindOfName(const std::string& kindName);

// Where a message file lies in the mail store: "/<kind name>/<ParentID>/<FolderID>".
struct TMailStorePlace {
  int MailKind = 0;
  std::int64_t ParentID = 0;
  std::int64_t FolderID = 0;
};
std::optional<TMailStorePlace> ParseMailStoreFolder(const std::string& folder);

// A search result's "ObjectFolder": the store kind before the first "|",
// the server folder after it.
struct TSeekPlace {
  int TaskKind = 100;
  std::string Folder;
};
std::optional<TSeekPlace> ParseSeekFolder(const std::string& objectFolder);

}  // namespace solvane
