#pragma once
// The one task list of the process and the administrator's policy for the
// signed-in user, with the pattern test shared by the policy and the task
// filters.
//
// Thread safety: the list has its own mutex; every operation locks it.
// Tasks are shared pointers, so a task taken from the list stays valid while
// a thread works on it, even if it is removed meanwhile.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tasks/Unit_Handler_Define.h"

namespace solvane {

struct TDefaultPolicy {
  std::int32_t PolicyID = -1;
  std::int32_t MaxFileSize = -1;  // MiB; -1 no limit
  std::vector<std::string> IncludeList;
  std::vector<std::string> ExcludeList;

  void Reset() { *this = TDefaultPolicy{}; }
  void AddPattern(const std::string& text, bool isInclude) {
    (isInclude ? IncludeList : ExcludeList).push_back(text);
  }
};

// Pattern classes: a path pattern holds "\" (the platform's separator on
// this platform as well) or ":" and no "."; it applies to folders only. Any
// other pattern is a name pattern and applies to files only.
bool IsPathPattern(const std::string& pattern);
bool PatternApplies(const std::string& pattern, bool isFolder);
// The test of one applying pattern on a full path: wildcard match (case
// ignored) when it holds "*", else an exact substring test.
bool PatternPasses(const std::string& pattern, const std::string& path);
// Include list: every applying pattern must pass; exclude list: the first
// applying pattern that passes rejects. pace is called after the patterns at
// positions 0, 5, 10, ... of each list.
bool PassesPatternLists(const std::vector<std::string>& include,
                        const std::vector<std::string>& exclude, const std::string& path,
                        bool isFolder, const std::function<void()>& pace);

class TTaskObjectList {
 public:
  void ClearTasks();  // also resets the policy
  void Add(TTaskObjectPtr task);
  bool Remove(const TTaskObject* task);
  TTaskObjectPtr FindTask(std::int32_t taskId) const;
  TTaskObjectPtr FindByState(std::uint8_t state) const;
  std::vector<TTaskObjectPtr> Snapshot() const;
  std::size_t Count() const;

  bool RequestStart(std::int32_t taskId, bool scheduled, DateTime now);
  bool RequestStop(std::int32_t taskId, bool scheduled);
  bool Pause(std::int32_t taskId, bool scheduled);
  bool Resume(std::int32_t taskId, bool scheduled, bool isCurrentTask);

  // "TTask.Remove" on the server, then out of the list.
  bool RemoveTask(IEngineContext& ctx, std::int32_t taskId);
  // Reloads tasks (with objects and filters) and the policy from the server.
  // Records of kinds without a task class here are skipped.
  bool LoadFromServer(IEngineContext& ctx);
  // LoadFromServer while no task is waiting, running or paused (false and
  // nothing changed otherwise). A task that stays keeps the start of its
  // last run, so it does not run twice within its start window.
  bool ReloadWhenIdle(IEngineContext& ctx);

  TDefaultPolicy Policy() const;
  void SetPolicy(TDefaultPolicy policy);
  bool PassesPolicy(IEngineContext& ctx, const std::string& path, bool isFolder) const;

  // A new ID for a task made on this client: the packed DOS date-time of now,
  // stepped on by two seconds until the value is above every ID handed out
  // before on this machine (Stamps) and no task of the list uses it. -1 when
  // the clock lies outside the years a packed date-time can hold.
  std::int32_t NewTaskID(DateTime now) const;

  // The source of new task IDs and of the SessionIDs of runs started
  // through the list; the shared state points it at the settings.
  TRunStamps& Stamps() const { return m_stamps; }

 private:
  void LoadPolicy(IEngineContext& ctx);

  mutable std::mutex m_mutex;
  std::vector<TTaskObjectPtr> m_tasks;
  // Replaced as a whole, so a filter test works on a snapshot without
  // holding the list's lock while it paces.
  std::shared_ptr<const TDefaultPolicy> m_policy = std::make_shared<TDefaultPolicy>();
  mutable TRunStamps m_stamps;
};

}  // namespace solvane
