#pragma once
// Sending a mail reader's ticks as a task's content. The ticks live in the
// shared reader descriptors, which the engine's calc stage uses too: they are
// copied to plain values under LockMailReaders, the lock is let go, the
// copies travel to the server ("TTask.SetMCObject" for every folder that
// takes part, "TTask.SetMCObject_Message" for messages chosen singly), and
// only then does the task's MCInfo take them, under the task's own lock.

#include <cstdint>
#include <memory>
#include <vector>

#include "api/TaskApi.h"
#include "mail/QorWithMCDefine.h"

namespace solvane {

class TPublicInfo;

// A reader's selection, detached from the reader.
struct TMailSelection {
  std::uint8_t Kind = 0;
  // Every folder that is ticked whole or holds ticked messages, in the
  // reader's order; a folder not ticked whole carries its ticked messages.
  std::vector<std::shared_ptr<TQorMCFolderObject>> Folders;
  bool Empty() const { return Folders.empty(); }
};

// REQUIRES: LockMailReaders held.
TMailSelection CopyMailSelection(const TQorCustomMC& reader);

// The reader of kind's selection (taking the readers' lock for the copy).
TMailSelection CopyMailSelection(TPublicInfo& info, int kind);

// The server records of a selection.
std::vector<api::TTaskMailFolder> MailFolderRecords(const TMailSelection& selection);
std::vector<api::TTaskMailMessage> MailMessageRecords(const TMailSelection& selection);

// Sends the selection as the content of task taskId (a named task only; a
// temporary one makes no call) and then makes it the task's MCInfo. False
// when the task is not in the list or a call failed (MCInfo unchanged then).
bool SendMailSelection(TPublicInfo& info, std::int32_t taskId, const TMailSelection& selection);

}  // namespace solvane
