#pragma once
// An IEngineContext for tests: a real connection pool (pointed at a real or
// scripted server), a real task list, recorded notes, a clock the test sets,
// the pacing profile with a record of every pause, and settable current task
// and stage flags.
//
//   TFakeEngineContext ctx;
//   ctx.ConnectPool(server.Port(), client.Token());  // signed-in pool
//   ctx.SetUserCode("u1");
//   ctx.SetPaceHook([&](int ms) { ... });  // e.g. stop a task mid-walk
//   ctx.SetFileAccess(&failing);  // a TFileAccessWrapper failing one call
//
// Every member may be used from several threads at once.

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tasks/EngineContext.h"
#include "mail/QorWithMCService.h"
#include "platform/MemoryRegistry.h"
#include "tasks/Unit_Handler_TaskObjectList.h"
#include "wire/QorWithNetTCPClient.h"

namespace solvane::testsupport {

struct TRecordedNote {
  std::string Text;
  TNoteKind Kind;
};

class TFakeEngineContext : public IEngineContext {
 public:
  TFakeEngineContext() = default;
  ~TFakeEngineContext() override {
    // Tasks first: a task never outlives the pool its calls lease from.
    m_tasks.ClearTasks();
    m_pool.DisconnectAll(0);
  }

  // Adds count connections for 127.0.0.1:port, hands them the session token
  // and connects them. True when all are connected.
  bool ConnectPool(std::uint16_t port, const std::string& token = {}, int count = 3) {
    for (int i = 0; i < count; ++i)
      m_pool.AddConnection(1, "Public" + std::to_string(m_pool.Count()));
    m_pool.SetConnectText("Host=127.0.0.1\r\nPort=" + std::to_string(port) + "\r\nTimeOut=10");
    m_pool.SetToken(token);
    return m_pool.ConnectAll(0);
  }

  TQorTCPClientPool& Pool() override { return m_pool; }
  TTaskObjectList& Tasks() override { return m_tasks; }
  INoteSink& Notes() override { return m_notes; }
  // The mail readers find their stores through MailRegistry() unless a test
  // gives them another factory (before first use).
  TQorMCService& MailService() override { return *m_mailService; }
  TMemoryRegistry& MailRegistry() { return m_mailRegistry; }
  void SetMailReaderFactory(TMCReaderFactory factory) {
    m_mailService = std::make_unique<TQorMCService>(std::move(factory));
  }

  std::string UserCode() const override { return Get(m_userCode); }
  void SetUserCode(std::string code) { Set(m_userCode, std::move(code)); }
  std::string LocalIPAddress() override { return Get(m_ip); }
  void SetLocalIPAddress(std::string ip) { Set(m_ip, std::move(ip)); }
  std::string LocalMacAddress() override { return Get(m_mac); }
  void SetLocalMacAddress(std::string mac) { Set(m_mac, std::move(mac)); }
  std::string CacheFolder() const override { return Get(m_cacheFolder); }
  void SetCacheFolder(std::string folder) { Set(m_cacheFolder, std::move(folder)); }

  std::string SharedParam(const std::string& name) const override {
    std::lock_guard g(m_mutex);
    auto it = m_params.find(name);
    return it == m_params.end() ? std::string() : it->second;
  }
  void SetSharedParam(const std::string& name, std::string value) {
    std::lock_guard g(m_mutex);
    m_params[name] = std::move(value);
  }

  // The clock runs with the system's until the test sets it; then it stands
  // still except when moved.
  DateTime Now() override {
    std::lock_guard g(m_mutex);
    return m_clockSet ? m_now : std::chrono::system_clock::now();
  }
  void SetNow(DateTime now) {
    std::lock_guard g(m_mutex);
    m_now = now;
    m_clockSet = true;
  }
  void Advance(std::chrono::system_clock::duration by) {
    std::lock_guard g(m_mutex);
    if (!m_clockSet) m_now = std::chrono::system_clock::now();
    m_now += by;
    m_clockSet = true;
  }

  TPacing Pacing() const override { return m_pacing.load(); }
  void SetPacing(TPacing pacing) { m_pacing = pacing; }
  // Standard pacing sleeps (unless sleeping is switched off); every pause is
  // recorded, and the hook runs first.
  void Pace(int ms) override {
    std::function<void(int)> hook;
    {
      std::lock_guard g(m_mutex);
      ++m_paceCounts[ms];
      m_pacedTotal += ms;
      hook = m_paceHook;
    }
    if (hook) hook(ms);
    if (m_pacing.load() == TPacing::Standard && m_sleepOnPace.load() && ms > 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }
  void SetSleepOnPace(bool sleep) { m_sleepOnPace = sleep; }
  void SetPaceHook(std::function<void(int)> hook) {
    std::lock_guard g(m_mutex);
    m_paceHook = std::move(hook);
  }
  // How many pauses of ms were asked for; all pauses' milliseconds summed.
  int PaceCount(int ms) const {
    std::lock_guard g(m_mutex);
    auto it = m_paceCounts.find(ms);
    return it == m_paceCounts.end() ? 0 : it->second;
  }
  long long PacedMilliseconds() const {
    std::lock_guard g(m_mutex);
    return m_pacedTotal;
  }
  void ClearPaceRecord() {
    std::lock_guard g(m_mutex);
    m_paceCounts.clear();
    m_pacedTotal = 0;
  }

  // The platform's files unless a test set its own (which must outlive the
  // engine's use of it; null restores the platform's).
  IFileAccess& FileAccess() override {
    IFileAccess* access = m_fileAccess.load();
    return access ? *access : PlatformFileAccess();
  }
  void SetFileAccess(IFileAccess* access) { m_fileAccess = access; }

  TTaskObjectPtr CurrentTask() override {
    std::lock_guard g(m_mutex);
    return m_current;
  }
  void SetCurrentTask(TTaskObjectPtr task) {
    std::lock_guard g(m_mutex);
    m_current = std::move(task);
  }
  bool IsFolderDetectorIdle() override { return m_detectorIdle.load(); }
  void SetFolderDetectorIdle(bool idle) { m_detectorIdle = idle; }
  bool IsCalcSlotEmpty() override { return m_calcSlotEmpty.load(); }
  void SetCalcSlotEmpty(bool empty) { m_calcSlotEmpty = empty; }

  std::vector<TRecordedNote> RecordedNotes() const { return m_notes.Recorded(); }

 private:
  class TRecordingNotes : public INoteSink {
   public:
    void ShowNote(const std::string& text, TNoteKind kind) override {
      std::lock_guard g(m_mutex);
      m_notes.push_back({text, kind});
    }
    std::vector<TRecordedNote> Recorded() const {
      std::lock_guard g(m_mutex);
      return m_notes;
    }

   private:
    mutable std::mutex m_mutex;
    std::vector<TRecordedNote> m_notes;
  };

  std::string Get(const std::string& field) const {
    std::lock_guard g(m_mutex);
    return field;
  }
  void Set(std::string& field, std::string value) {
    std::lock_guard g(m_mutex);
    field = std::move(value);
  }

  mutable std::mutex m_mutex;
  TQorTCPClientPool m_pool;
  TTaskObjectList m_tasks;
  TRecordingNotes m_notes;
  TMemoryRegistry m_mailRegistry;
  std::unique_ptr<TQorMCService> m_mailService =
      std::make_unique<TQorMCService>(DefaultReaderFactory(m_mailRegistry));
  std::string m_userCode = "u1";
  std::string m_ip = "127.0.0.1";
  std::string m_mac = "00-11-22-33-44-55";
  std::string m_cacheFolder;
  std::map<std::string, std::string> m_params;
  DateTime m_now{};
  bool m_clockSet = false;
  std::atomic<TPacing> m_pacing{TPacing::Standard};
  std::atomic<bool> m_sleepOnPace{true};
  std::function<void(int)> m_paceHook;
  std::map<int, int> m_paceCounts;
  long long m_pacedTotal = 0;
  TTaskObjectPtr m_current;
  std::atomic<IFileAccess*> m_fileAccess{nullptr};
  std::atomic<bool> m_detectorIdle{true};
  std::atomic<bool> m_calcSlotEmpty{true};
};

}  // namespace solvane::testsupport
