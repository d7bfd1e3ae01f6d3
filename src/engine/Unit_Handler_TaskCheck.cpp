#include "engine/Unit_Handler_TaskCheck.h"

#include "engine/TaskEngine.h"
#include "api/UpDownApi.h"
#include "session/Unit_LocalHelpers.h"
#include "wire/QorWithNetTCPClient.h"

namespace solvane {

std::int64_t AlignToSegment(std::int64_t position) {
  return position <= 0 ? 0 : position - position % kSegmentSize;
}

namespace {

// The check of item: what the server needs to know of the file.
api::TUpObject CheckedObject(const TPostBagItem& item) {
  api::TUpObject o;
  o.ObjectName = FileNameOf(item.SourcePath);
  o.ObjectFolder = item.ObjectFolder;
  o.ObjectData = item.ObjectData;
  o.ObjectCargo = item.ObjectCargo;
  o.ObjectCargo2 = item.ObjectCargo2;
  o.ObjectSize = item.ObjectSize;
  o.ObjectDate = item.ObjectDate;
  return o;
}

}  // namespace

bool TTaskCheckEngine::CheckOne() {
  const TEngineRun run = m_engine.CurrentRun();
  if (!run.Task) return false;
  TTaskObject& task = *run.Task;
  TPostBagItemPtr item;
  const std::string userCode = task.RunUser(m_ctx);
  api::TUpObject request;
  std::int32_t objectId = 0;
  {
    auto lock = task.Lock();
    if (!m_engine.IsCurrentRunning(task, run.Serial) || task.TaskDirection != 0) return false;
    item = task.PostBag.FirstInState(kItemNew);
    if (!item) return false;
    request = CheckedObject(*item);
    objectId = item->ObjectID;
    request.UCode = userCode;
    request.TaskID = task.TaskID;
    request.TaskKind = task.TaskKind;
  }

  auto lease = m_ctx.Pool().AcquireFree(-1);
  if (!lease.Ready()) return false;  // tried again next step
  const api::TApiResult<api::TCheckAnswer> answer = api::UpDownCheck(*lease, request, objectId);
  lease.Release();
  const bool ok = answer.Ok();
  const std::uint8_t action = answer.value.Action;
  const std::int64_t position = AlignToSegment(answer.value.refPosition);
  const std::int64_t verify = answer.value.refVerifyValue;

  auto lock = task.Lock();
  // Paused or ended meanwhile: the answer is dropped and the item stays new.
  if (!m_engine.IsCurrentRunning(task, run.Serial) || item->ItemState != kItemNew) return false;
  TPostBagCounters& counters = task.PostBag.Counters();
  if (!ok) {
    item->FailReason = "核对失败：" + answer.status.Describe();
    task.PostBag.SetState(item, kItemFailed);
    task.PostBag.MoveToErrorBag(item, task.ErrorBag);
    ++counters.FileErrorCount;
  } else {
    item->Action = action;
    item->refPosition = position;
    item->refVerifyValue = verify;
    task.PostBag.SetState(item, kItemChecked);
    ++counters.FileCheckedCount;
    if (action == 0) {
      ++counters.FileCheckedAndNoChangeCount;
      task.PostBag.Remove(item);
    } else {
      ++counters.FileCheckedAndNeedUpCount;
    }
  }
  m_engine.NotifyWork();
  return true;
}

}  // namespace solvane
