#include "tasks/Unit_Handler_Define.h"

#include <cmath>

#include "tasks/EngineContext.h"
#include "session/DosDateTime.h"

namespace solvane {

TTaskObject::TTaskObject(std::string userCode) : UCode(std::move(userCode)) { ResetRuntime(); }

void TTaskObject::ResetRuntime() {
  auto lock = Lock();
  PostBag.ClearBag();
  FolderList.ClearFolders();
  ClearScreenContexts();
  ErrorBag.ClearBag();
}

std::string TTaskObject::RunUser(IEngineContext& ctx) const {
  {
    auto lock = Lock();
    if (!RunUserCode.empty()) return RunUserCode;
  }
  return ctx.UserCode();
}

double MinutesSincePacked(std::int32_t packed, DateTime now) {
  DateTime then;
  if (!DosToDateTime(static_cast<std::uint32_t>(packed), then)) return 1e9;
  return std::chrono::duration<double, std::ratio<60>>(now - then).count();
}

bool TTaskObject::RequestStart(bool scheduled, DateTime now, TRunStamps* stamps) {
  auto lock = Lock();
  const auto s = State();
  if (s != kStateIdle && s != kStateTerminated) return false;
  if (scheduled && SessionID > 0) {
    const double m = MinutesSincePacked(SessionID, now);
    if (std::ceil(m - 1) < ScheduleInfo.DelayExcuteMinute) return false;
  }
  SessionID = static_cast<std::int32_t>(stamps ? stamps->Next(TStampSeries::SessionID, now)
                                               : DateTimeToDos(now));
  m_state = kStateWaiting;
  return true;
}

bool TTaskObject::RequestStop(bool) {
  auto lock = Lock();
  const auto s = State();
  if (s != kStateWaiting && s != kStateRunning && s != kStatePaused) return false;
  m_state = kStateTerminated;
  return true;
}

bool TTaskObject::Pause(bool) {
  auto lock = Lock();
  const auto s = State();
  if (s != kStateWaiting && s != kStateRunning) return false;
  m_state = kStatePaused;
  return true;
}

bool TTaskObject::Resume(bool, bool isCurrentTask) {
  auto lock = Lock();
  if (State() != kStatePaused) return false;
  m_state = isCurrentTask ? kStateRunning : kStateWaiting;
  return true;
}

bool TTaskObject::MarkRunning() {
  auto lock = Lock();
  if (State() != kStateWaiting) return false;
  m_state = kStateRunning;
  return true;
}


void TTaskObject::DetectFolders(IEngineContext&) {}
void TTaskObject::CalcFolder(IEngineContext&, const TFolderObjectPtr&) {}
bool TTaskObject::LoadObjects(IEngineContext&) { return false; }
bool TTaskObject::ReportFolderListing(IEngineContext&, const TFolderObjectPtr&) { return true; }

TTaskScreenContext TTaskObject::ScreenContext(int i) const {
  auto lock = Lock();
  return (i >= 0 && i < kScreenContexts) ? m_screens[i] : TTaskScreenContext{};
}

void TTaskObject::SetScreenContext(int i, const TTaskScreenContext& c) {
  auto lock = Lock();
  if (i >= 0 && i < kScreenContexts) m_screens[i] = c;
}

std::int32_t TTaskObject::TotalSpeed() const {
  auto lock = Lock();
  std::int32_t total = 0;
  for (const auto& s : m_screens) total += s.SpeedKBps;
  return total;
}

void TTaskObject::ClearScreenContexts() {
  auto lock = Lock();
  for (auto& s : m_screens) s.Clear();
}

}  // namespace solvane
