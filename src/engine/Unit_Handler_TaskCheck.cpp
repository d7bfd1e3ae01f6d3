#include "engine/Unit_Handler_TaskCheck.h"

#include "engine/TaskEngine.h"
#include "session/Unit_LocalHelpers.h"
#include "wire/QorWithNetTCPClient.h"

namespace solvane {

std::int64_t AlignToSegment(std::int64_t position) {
  return position <= 0 ? 0 : position - position % kSegmentSize;
}

namespace {

struct TCheckRequest {
  std::string UCode;
  std::int32_t TaskID = -1;
  std::int16_t TaskKind = -1;
};

void BuildCheck(TQorPack& f, const TCheckRequest& r, const TPostBagItem& item) {
  f.Reset();
  f.SetFunNo("TUpDown.Check");
  f.AddString(1, "UCode", r.UCode);
  f.AddInteger(1, "TaskID", r.TaskID);
  f.AddString(1, "TaskKind", std::to_string(r.TaskKind));
  f.AddString(1, "ObjectID", std::to_string(item.ObjectID));
  f.AddString(1, "ObjectName", FileNameOf(item.SourcePath));
  f.AddString(1, "ObjectFolder", item.ObjectFolder);
  f.AddInteger(1, "ObjectData", item.ObjectData);
  f.AddString(1, "ObjectCargo", item.ObjectCargo);
  f.AddString(1, "ObjectCargo2", item.ObjectCargo2);
  f.AddString(1, "ObjectSize", std::to_string(item.ObjectSize));
  f.AddString(1, "ObjectDate", std::to_string(item.ObjectDate));
  f.AddString(1, "Position", "0");
  f.AddString(1, "Action", "0");
}

}  // namespace

bool TTaskCheckEngine::CheckOne() {
  const TEngineRun run = m_engine.CurrentRun();
  if (!run.Task) return false;
  TTaskObject& task = *run.Task;
  TPostBagItemPtr item;
  TCheckRequest request{task.RunUser(m_ctx)};
  {
    auto lock = task.Lock();
    if (!m_engine.IsCurrentRunning(task, run.Serial) || task.TaskDirection != 0) return false;
    item = task.PostBag.FirstInState(kItemNew);
    if (!item) return false;
    request.TaskID = task.TaskID;
    request.TaskKind = task.TaskKind;
  }

  auto lease = m_ctx.Pool().AcquireFree(-1);
  if (!lease.Ready()) return false;  // tried again next step
  BuildCheck(m_frame, request, *item);
  const bool ok = lease->Call(m_frame) && m_frame.ErrNo() == 1;
  lease.Release();
  std::uint8_t action = 0;
  std::int64_t position = 0, verify = 0;
  if (ok) {
    action = static_cast<std::uint8_t>(m_frame.FieldByName(1, "Action").AsInteger() & 0xff);
    position = AlignToSegment(m_frame.FieldByName(1, "refPosition").AsInteger());
    verify = m_frame.FieldByName(1, "refVerifyValue").AsInteger();
  }

  auto lock = task.Lock();
  // Paused or ended meanwhile: the answer is dropped and the item stays new.
  if (!m_engine.IsCurrentRunning(task, run.Serial) || item->ItemState != kItemNew) return false;
  TPostBagCounters& counters = task.PostBag.Counters();
  if (!ok) {
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
