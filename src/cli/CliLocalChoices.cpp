#include "cli/CliLocalChoices.h"

#include <iostream>

#include "cli/CliServerStore.h"
#include "platform/FileFacts.h"

namespace solvane::cli {

std::optional<std::vector<TLocalChoice>> LocalChoices(const TCliOptions& o, bool foldersOnly) {
  std::vector<TLocalChoice> choices;
  for (const auto& arg : o.args) {
    const std::string path = AbsoluteLocal(arg);
    auto facts = PlatformFileFacts().Examine(path);
    if (!facts) {
      std::cerr << "error: " << arg << " does not exist\n";
      return std::nullopt;
    }
    if (foldersOnly && !facts->isFolder) {
      std::cerr << "error: sync takes a folder; " << arg << " is a file\n";
      return std::nullopt;
    }
    choices.push_back({path, facts->isFolder});
  }
  return choices;
}

}  // namespace solvane::cli
