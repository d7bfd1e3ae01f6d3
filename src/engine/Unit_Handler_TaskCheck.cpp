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

// The answer of one check, under the task's lock. Paused or ended
// meanwhile: the answer is dropped and the item stays new.
bool TTaskCheckEngine::TakeAnswer(TTaskObject& task, std::uint64_t serial,
                                  const TPostBagItemPtr& item,
                                  const api::TApiResult<api::TCheckAnswer>& answer) {
  if (!m_engine.IsCurrentRunning(task, serial) || item->ItemState != kItemNew) return false;
  TPostBagCounters& counters = task.PostBag.Counters();
  if (!answer.Ok()) {
    item->FailReason = "核对失败：" + answer.status.Describe();
    task.PostBag.SetState(item, kItemFailed);
    task.PostBag.MoveToErrorBag(item, task.ErrorBag);
    ++counters.FileErrorCount;
  } else {
    item->Action = answer.value.Action;
    item->refPosition = AlignToSegment(answer.value.refPosition);
    item->refVerifyValue = answer.value.refVerifyValue;
    task.PostBag.SetState(item, kItemChecked);
    ++counters.FileCheckedCount;
    if (answer.value.Action == 0) {
      ++counters.FileCheckedAndNoChangeCount;
      task.PostBag.Remove(item);
    } else {
      ++counters.FileCheckedAndNeedUpCount;
    }
  }
  return true;
}

bool TTaskCheckEngine::CheckOne() {
  if (m_ctx.Pacing() == TPacing::Fast) return CheckMany();
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

  auto lock = task.Lock();
  if (!TakeAnswer(task, run.Serial, item, answer)) return false;
  m_engine.NotifyWork();
  return true;
}

bool TTaskCheckEngine::CheckMany() {
  const TEngineRun run = m_engine.CurrentRun();
  if (!run.Task) return false;
  TTaskObject& task = *run.Task;
  const std::string userCode = task.RunUser(m_ctx);
  std::vector<TPostBagItemPtr> items;
  std::vector<api::TUpObject> requests;
  std::vector<std::int32_t> objectIds;
  {
    auto lock = task.Lock();
    if (!m_engine.IsCurrentRunning(task, run.Serial) || task.TaskDirection != 0) return false;
    for (const TPostBagItemPtr& item : task.PostBag.InState(kItemNew, kChecksInFlight)) {
      items.push_back(item);
      requests.push_back(CheckedObject(*item));
      requests.back().UCode = userCode;
      requests.back().TaskID = task.TaskID;
      requests.back().TaskKind = task.TaskKind;
      objectIds.push_back(item->ObjectID);
    }
  }
  if (items.empty()) return false;

  // A Public connection first: the transfer engines need theirs.
  auto lease = m_ctx.Pool().AcquireFree(kPublicKind);
  if (!lease.Ready()) lease = m_ctx.Pool().AcquireFree(-1);
  if (!lease.Ready()) return false;  // tried again next step
  const auto answers = api::UpDownCheckMany(*lease, requests, objectIds);
  lease.Release();

  bool took = false;
  auto lock = task.Lock();
  for (std::size_t i = 0; i < items.size(); ++i)
    took = TakeAnswer(task, run.Serial, items[i], answers[i]) || took;
  if (took) m_engine.NotifyWork();
  return took;
}

}  // namespace solvane
