// solvane-cli: the client core without windows.

#include <iostream>
#include <string>
#include <vector>

#include "cli/CliCommands.h"
#include "cli/CliOptions.h"
#include "platform/MemoryUse.h"

int main(int argc, char** argv) {
  using namespace solvane::cli;
  solvane::KeepTransferBuffersForReuse();
  std::string error;
  auto options = ParseCliOptions(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!options) {
    std::cerr << "error: " << error << "\n" << CliUsage();
    return 2;
  }
  if (options->command == "help") {
    std::cout << CliUsage();
    return 0;
  }
  try {
    return RunCli(*options);
  } catch (const std::exception& e) {
    std::cerr << "error: " << e.what() << "\n";
    return 1;
  }
}
