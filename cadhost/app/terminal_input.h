#pragma once
// The command line at a terminal, edited with libedit: cursor keys and the usual editing keys,
// a history of command lines kept in a file (Up and Down, Ctrl+R to search it), Tab completion
// of what the prompt asks for, Esc and Ctrl+C to cancel the command, Ctrl+D on an empty
// "Command: " line for QUIT.

#include <filesystem>
#include <memory>

#include "cadhost/app/command_line.h"

namespace cadhost::app {

// The most command lines the history file keeps.
inline constexpr int kHistoryLines = 500;

// Reads standard input, which must be a terminal (handleProgramSignals(true) set up first).
// The history of command lines is read from and kept in `historyFile`.
std::unique_ptr<InputSource> terminalSource(const std::filesystem::path& historyFile);

}  // namespace cadhost::app
