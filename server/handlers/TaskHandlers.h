#pragma once
// The parts of the task operations that register from their own files;
// RegisterTaskOperations (handlers/Operations.h) calls them.

namespace solvane::server {

class TDispatcher;

void RegisterTaskRunOperations(TDispatcher& d);  // TTask.Start, TTask.Stop, TTask.ErrorReport
void RegisterPolicyOperations(TDispatcher& d);   // TPolicy.*
void RegisterTaskMailOperations(TDispatcher& d);  // TTask.SetMCObject*, TTask.GetMCObject*

}  // namespace solvane::server
