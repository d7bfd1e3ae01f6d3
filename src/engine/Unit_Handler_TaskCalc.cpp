#include "engine/Unit_Handler_TaskCalc.h"

#include "engine/TaskEngine.h"
#include "tasks/ErrorNotes.h"

namespace solvane {

void TTaskCalcEngine::Assign(TTaskObjectPtr task, std::uint64_t run, TFolderObjectPtr entry) {
  {
    std::lock_guard lock(m_slotMutex);
    m_slot = {std::move(task), run, std::move(entry)};
  }
  Wake();
}

bool TTaskCalcEngine::IsSlotEmpty() const {
  std::lock_guard lock(m_slotMutex);
  return m_slot.Entry == nullptr;
}

void TTaskCalcEngine::ClearSlotWhenIdle() {
  if (IsIdle()) ClearSlot();
}

TTaskCalcEngine::TSlot TTaskCalcEngine::TakeSlotCopy() const {
  std::lock_guard lock(m_slotMutex);
  return m_slot;
}

void TTaskCalcEngine::ClearSlot() {
  std::lock_guard lock(m_slotMutex);
  m_slot = {};
}

void TTaskCalcEngine::Step(std::stop_token) {
  const TSlot slot = TakeSlotCopy();
  if (!slot.Entry) return;
  TTaskObject& task = *slot.Task;
  {
    auto lock = task.Lock();
    if (!m_engine.IsCurrentRunning(task, slot.Run)) {
      // Paused or ended: the entry stays in the folder list and is handed
      // out again after a resume.
      ClearSlot();
      return;
    }
  }
  try {
    for (int i = 0; i < kFolderCheckAttempts && !task.ReportFolderListing(m_ctx, slot.Entry); ++i) {
    }
  } catch (const std::exception& e) {
    // The folder's files are queued all the same.
    NoteError(m_ctx, "文件夹核对出错 " + slot.Entry->FolderPath, e.what());
  } catch (...) {
    NoteError(m_ctx, "文件夹核对出错 " + slot.Entry->FolderPath, kUnknownErrorText);
  }
  try {
    task.CalcFolder(m_ctx, slot.Entry);
  } catch (const std::exception& e) {
    // The entry leaves the list with what was queued.
    NoteError(m_ctx, "文件夹计算出错 " + slot.Entry->FolderPath, e.what());
  } catch (...) {
    NoteError(m_ctx, "文件夹计算出错 " + slot.Entry->FolderPath, kUnknownErrorText);
  }
  task.FolderList.Remove(slot.Entry);
  ClearSlot();
  m_engine.NotifyWork();
}

}  // namespace solvane
