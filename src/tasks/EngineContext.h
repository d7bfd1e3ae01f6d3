#pragma once
// What the tasks and the engine threads reach of the shared state. The
// shared state (TPublicInfo) implements it; tests use a fake.

#include <memory>
#include <string>

#include "platform/FileAccess.h"
#include "platform/INoteSink.h"
#include "platform/LocalTime.h"
#include "session/Pacing.h"

namespace solvane {

class TQorTCPClientPool;
class TQorMCService;
class TTaskObjectList;
class TTaskObject;
using TTaskObjectPtr = std::shared_ptr<TTaskObject>;

class IEngineContext {
 public:
  virtual ~IEngineContext() = default;

  virtual TQorTCPClientPool& Pool() = 0;
  virtual TTaskObjectList& Tasks() = 0;
  virtual INoteSink& Notes() = 0;
  // The mail-client readers of the process (take LockMailReaders to use them).
  virtual TQorMCService& MailService() = 0;

  // The signed-in user's code.
  virtual std::string UserCode() const = 0;
  // Workstation values sent with many requests, computed afresh each time.
  virtual std::string LocalIPAddress() = 0;
  virtual std::string LocalMacAddress() = 0;
  virtual std::string CacheFolder() const = 0;
  // A value of the shared name=value list ("RestoreParams.Overwrite", ...).
  virtual std::string SharedParam(const std::string& name) const = 0;

  // The engine's clock (local time); tests move it.
  virtual DateTime Now() = 0;
  virtual TPacing Pacing() const = 0;
  // One deliberate pause of the engine: sleeps ms under the standard profile,
  // not at all under fast; then lets the user interface run (a no-op off the
  // GUI thread).
  virtual void Pace(int ms) = 0;

  // The files the engine reads to upload and writes when it restores;
  // tests put a wrapper in between to make one call fail.
  virtual IFileAccess& FileAccess() { return PlatformFileAccess(); }

  // The task the engine runs now; null when idle.
  virtual TTaskObjectPtr CurrentTask() = 0;
  virtual bool IsFolderDetectorIdle() = 0;
  virtual bool IsCalcSlotEmpty() = 0;
};

}  // namespace solvane
