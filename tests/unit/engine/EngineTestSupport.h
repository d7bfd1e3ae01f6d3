#pragma once
// Engine test helpers: a fake context whose engine questions are answered by
// a real TTaskEngine it owns, a scriptable task, and a bounded wait.

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "FakeEngineContext.h"
#include "engine/TaskEngine.h"
#include "platform/Drives.h"

namespace solvane::enginetest {

// A fresh folder under the system's temporary folder, removed at the end.
class TTempDir {
 public:
  TTempDir() {
    m_path = std::filesystem::temp_directory_path() /
             ("solvane-engine-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(m_path);
  }
  ~TTempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
  }
  std::string Path(const std::string& name = {}) const {
    return name.empty() ? m_path.string() : (m_path / name).string();
  }

 private:
  std::filesystem::path m_path;
};

// Deterministic bytes that differ from segment to segment.
inline std::string PatternBytes(std::size_t size, unsigned seed = 1) {
  std::string s(size, '\0');
  std::uint32_t x = seed * 2654435761u + 1;
  for (auto& c : s) {
    x = x * 1664525u + 1013904223u;
    c = static_cast<char>(x >> 24);
  }
  return s;
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Polls pred until it holds or the time is up; the final value of pred.
inline bool WaitUntil(const std::function<bool()>& pred,
                      std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return pred();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

class TNoDrives : public IDrives {
 public:
  std::vector<std::string> FixedDriveRoots() override { return {}; }
  std::optional<std::int64_t> FreeBytes(const std::string&) override { return std::nullopt; }
};

// Pauses are recorded, not slept, unless the test asks for sleeping.
class TEngineTestContext : public testsupport::TFakeEngineContext {
 public:
  TEngineTestContext() {
    SetSleepOnPace(false);
    m_engine = std::make_unique<TTaskEngine>(*this, m_drives);
    m_engine->SetCompletionSoundFile({});
  }
  ~TEngineTestContext() override { m_engine->Stop(); }

  TTaskEngine& Engine() { return *m_engine; }

  TTaskObjectPtr CurrentTask() override { return m_engine->CurrentTask(); }
  bool IsFolderDetectorIdle() override { return m_engine->IsFolderDetectorIdle(); }
  bool IsCalcSlotEmpty() override { return m_engine->IsCalcSlotEmpty(); }

  // Adds the five "Trans" connections to the pool (after ConnectPool).
  bool AddTransConnections() {
    for (int i = 0; i < TTaskTransEngineList::kEngineCount; ++i)
      Pool().AddConnection(100, "Trans" + std::to_string(i));
    return Pool().ConnectAll(100);
  }

 private:
  TNoDrives m_drives;
  std::unique_ptr<TTaskEngine> m_engine;
};

// A task whose walk adds the given folders and whose calc step queues the
// given local files of a folder (as new uploads) or downloads (as checked).
class TScriptedTask : public TTaskObject {
 public:
  explicit TScriptedTask(std::uint8_t direction = 0) : TTaskObject("u1") {
    TaskKind = kKindFileBackup;
    TaskDirection = direction;
    TaskID = 1001;
  }

  struct TDownload {
    std::string ServerPath, LocalPath;
    std::int64_t Size = 0, Date = 0;
  };
  std::vector<std::string> Folders;
  std::map<std::string, std::vector<std::string>> Files;
  std::map<std::string, std::vector<TDownload>> Downloads;
  std::atomic<int> Walks{0};
  std::atomic<int> Calcs{0};

  void DetectFolders(IEngineContext&) override {
    ++Walks;
    for (const auto& f : Folders) {
      auto lock = Lock();
      if (!IsRunning()) return;
      FolderList.AddFolder(f, true);
    }
  }
  void CalcFolder(IEngineContext&, const TFolderObjectPtr& folder) override {
    ++Calcs;
    if (const auto files = Files.find(folder->FolderPath); files != Files.end()) {
      for (const auto& path : files->second) {
        auto lock = Lock();
        if (!IsRunning()) return;
        PostBag.AddLocalFile(path);
      }
    }
    if (const auto downloads = Downloads.find(folder->FolderPath); downloads != Downloads.end()) {
      for (const auto& d : downloads->second) {
        auto lock = Lock();
        if (!IsRunning()) return;
        PostBag.AddDownload(d.ServerPath, d.LocalPath, -1, -1, d.Date, d.Size);
      }
    }
  }
};

// Makes task the engine's current, running task (as the dispatcher does);
// returns the run's serial.
inline std::uint64_t MakeCurrent(TTaskEngine& engine, const TTaskObjectPtr& task,
                                 DateTime now = std::chrono::system_clock::now()) {
  task->RequestStart(false, now);
  auto lock = task->Lock();
  task->MarkRunning();
  task->ResetRuntime();
  return engine.BeginRun(task);
}

}  // namespace solvane::enginetest
