#include "tasks/TTaskObject_File.h"
#include "tasks/TTaskObject_MC.h"
#include "tasks/TTaskObject_ShareFile.h"

namespace solvane {

TTaskObjectPtr CreateTaskObject(int kind, int direction, const std::string& userCode) {
  const bool down = direction == 1;
  if (direction != 0 && !down) return nullptr;
  switch (kind) {
    case kKindFileBackup:
      if (down) return std::make_shared<TTaskObject_FileBackup_Down>(userCode);
      return std::make_shared<TTaskObject_FileBackup_UP>(userCode);
    case kKindFileSync:
      if (down) return std::make_shared<TTaskObject_FileSync_Down>(userCode);
      return std::make_shared<TTaskObject_FileSync_UP>(userCode);
    case kKindShareFile:
      if (down) return std::make_shared<TTaskObject_ShareFile_Down>(userCode);
      return std::make_shared<TTaskObject_ShareFile_UP>(userCode);
    case kKindMailClient:
      if (down) return std::make_shared<TTaskObject_MC_Down>(userCode);
      return std::make_shared<TTaskObject_MC_UP>(userCode);
    default:
      return nullptr;  // no task class for the other kinds
  }
}

}  // namespace solvane
