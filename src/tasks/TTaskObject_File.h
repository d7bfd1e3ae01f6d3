#pragma once
// File backup and folder sync tasks: uploads walk local folders through the
// filter and the policy; downloads walk the server store and map server
// paths to local targets.

#include <string>

#include "tasks/Unit_Handler_Define.h"

namespace solvane {

class TTaskObject_File_UP : public TTaskObject {
 public:
  using TTaskObject::TTaskObject;
  void DetectFolders(IEngineContext& ctx) override;
  void CalcFolder(IEngineContext& ctx, const TFolderObjectPtr& folder) override;
  bool LoadObjects(IEngineContext& ctx) override;
  // Task filter on top of the policy.
  bool PassesFilter(IEngineContext& ctx, const std::string& path, bool isFolder);

 private:
  // Breadth-first walk of one selected folder into whole folder entries.
  void WalkFolder(IEngineContext& ctx, const std::string& folder);
};

class TTaskObject_FileBackup_UP : public TTaskObject_File_UP {
 public:
  explicit TTaskObject_FileBackup_UP(std::string userCode);
};

class TTaskObject_FileSync_UP : public TTaskObject_File_UP {
 public:
  explicit TTaskObject_FileSync_UP(std::string userCode);
  // Reports the folder's complete current listing ("TUpDown.FolderCheck").
  bool FolderCheck(IEngineContext& ctx, const TFolderObjectPtr& folder);
  // A sync upload mirrors each whole folder on the server before its files go.
  bool ReportFolderListing(IEngineContext& ctx, const TFolderObjectPtr& folder) override {
    return FolderCheck(ctx, folder);
  }
};

class TTaskObject_File_Down : public TTaskObject {
 public:
  using TTaskObject::TTaskObject;
  void DetectFolders(IEngineContext& ctx) override;
  void CalcFolder(IEngineContext& ctx, const TFolderObjectPtr& folder) override;

 private:
  // Breadth-first walk of one chosen server folder into whole entries.
  void WalkServerFolder(IEngineContext& ctx, const std::string& folder);
};

class TTaskObject_FileBackup_Down : public TTaskObject_File_Down {
 public:
  explicit TTaskObject_FileBackup_Down(std::string userCode);
};

class TTaskObject_FileSync_Down : public TTaskObject_File_Down {
 public:
  explicit TTaskObject_FileSync_Down(std::string userCode);
};

// The class for a kind and direction (100/200 now; 171 and 500 join with the
// mail and share tasks); null for a kind without a class.
TTaskObjectPtr CreateTaskObject(int kind, int direction, const std::string& userCode);

}  // namespace solvane
