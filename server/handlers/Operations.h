#pragma once
// One registration function per class word of the protocol.

#include "wire/QorWithProtocol.h"

namespace solvane::server {

class TDispatcher;

using solvane::kProfileOperation;  // the system profile call, answered before sign-in

void RegisterUserOperations(TDispatcher& d);     // profile, TUser.*
void RegisterTaskOperations(TDispatcher& d);     // TTask.*, TPolicy.*
void RegisterLogOperations(TDispatcher& d);      // TLog.*, TTask.SelectReport
void RegisterTransferOperations(TDispatcher& d); // TUpDown.*
void RegisterBrowserOperations(TDispatcher& d);  // TBrower.*
void RegisterShareOperations(TDispatcher& d);    // TShareFolder.*
void RegisterAuthOperations(TDispatcher& d);     // TAuth.*, TUser.Select
void RegisterMailOperations(TDispatcher& d);     // TBrower.ShowMCObject_*, TBrower.RemoveMC_*

}  // namespace solvane::server
