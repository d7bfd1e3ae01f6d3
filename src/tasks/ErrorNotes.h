#pragma once
// Errors of the engine's threads that end one step but not the run: each
// goes to the note sink with what failed and why, instead of vanishing.

#include <exception>
#include <string>

#include "tasks/EngineContext.h"

namespace solvane {

// Shows "<what>：<reason>" as an error note. The same text as the last note
// is not shown again within ten seconds, so a step that fails on every
// cycle of a thread does not flood the user.
void NoteError(IEngineContext& ctx, const std::string& what, const std::string& reason);

// The reason given for an exception that is not a std::exception.
inline constexpr char kUnknownErrorText[] = "未知错误";

}  // namespace solvane
