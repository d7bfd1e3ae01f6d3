#pragma once
// Saving a named file task on the server from its task record: the
// definition ("TTask.Insert" for a new task, "TTask.Update" for a changed
// one), then the content of a file backup or folder sync task (objects,
// patterns, extended filter). The record is read under its lock; each call
// leases a free connection of its own. Every function stops at the first
// call that fails and returns its status.

#include "api/ApiCall.h"
#include "tasks/Unit_Handler_Define.h"

namespace solvane {

class TPublicInfo;

// "TTask.Insert" of task's name, remark, backup-set option and schedule
// (all fields, whether the schedule is on or not), for the signed-in user.
api::TApiStatus InsertTaskOnServer(TPublicInfo& info, const TTaskObject& task);
// "TTask.Update" of the same; "BackupMode" travels for file backups only.
api::TApiStatus UpdateTaskOnServer(TPublicInfo& info, const TTaskObject& task);
// The steps of SendFileTaskContent, for the caller's message on failure.
enum class TFileTaskStep { Objects, Filter, FilterEx };

// "TTask.SetFileObject", "TTask.SetFileObject_Filter" (no pattern at all
// travels as the "-1" placeholder, so the server forgets older patterns),
// "TTask.SetFileObject_FilterEx". A folder sync sends its one folder in the
// creation shape (with "UCode", without "ObjectKind"). On failure failedStep
// (when given) names the step that failed.
api::TApiStatus SendFileTaskContent(TPublicInfo& info, const TTaskObject& task,
                                    TFileTaskStep* failedStep = nullptr);

}  // namespace solvane
