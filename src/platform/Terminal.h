#pragma once
// Reading a secret (a password) from the standard input.

#include <optional>
#include <string>

namespace solvane {

// On a terminal: writes prompt to the standard error, reads one line with
// echo switched off, then restores the terminal. Otherwise (a pipe or a
// file) reads one line without a prompt. The line break is not part of the
// result. nullopt when the input ended before anything was read, or when
// an interrupt (Ctrl-C) came while typing.
std::optional<std::string> ReadSecretLine(const std::string& prompt);

// Whether the standard error is a terminal (progress may then be redrawn
// often; a log file gets fewer lines).
bool IsErrorTerminal();

}  // namespace solvane
