#pragma once
// The sound played when a task ends. Played synchronously through the
// desktop's sound player when the file exists and a player is available;
// otherwise nothing happens. The wait never exceeds the sound's length
// (plus a short start-up allowance): a player that hangs is ended.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace solvane {

// The completion sound file of this platform: "ring.wav" beside the program
// or among the installed data files (see DataFiles.h).
std::string DefaultCompletionSoundFile();

// Plays file with the first available of players (program names looked up
// in PATH; the default is "paplay" then "aplay") and waits for the end.
// True when a player ran and finished successfully.
bool PlayCompletionSound(const std::string& file);
bool PlayCompletionSound(const std::string& file, const std::vector<std::string>& players);

// The play time of a RIFF/WAVE file's bytes (from its byte rate and data
// size); nullopt when the bytes are no readable WAVE header.
std::optional<std::chrono::milliseconds> WaveDuration(std::string_view bytes);

}  // namespace solvane
