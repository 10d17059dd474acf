// The command line of tokiren-cli, parsed into what the engine needs.
#pragma once

#include <string>
#include <vector>

#include "engine/engine.h"

namespace tokiren {

struct CommandLine {
  enum class Command { kHelp, kVersion, kRun, kReset };
  Command command = Command::kHelp;
  std::string folder;  // run: the folder as given
  std::string logDir;  // "" for the program's own folder
  RunOptions options;
  bool dryRun = false;
  bool list = false;  // name every file not renamed, with its outcome
  int helpers = 0;  // --taken: capture-time readers at once; 0 for the system's choice
  int jobs = 0;     // --jobs: calls on the files on their way at once; 0 for the engine's choice
};

// The most capture-time readers --helpers takes.
inline constexpr int kMostHelpers = 16;

// Parses argv[1..]. On a mistake returns false with a one-line `error` for the user; no argument
// at all is a mistake too ("give a command").
bool ParseCommandLine(const std::vector<std::string>& args, CommandLine* line, std::string* error);

extern const char kUsage[];
// What --version prints: "tokiren-cli " and the project's version.
extern const char kVersionLine[];

// The count lines at the end of a run and of a Reset, each ending with a line end, in the singular
// for one ("1 file renamed") and the plural otherwise. A run's first line holds each outcome that
// occurred ("3 files renamed, 1 already named, 2 left alone: the name was taken"), without the
// renames in a dry run.
std::string RunCountLines(const RunSummary& summary, bool dryRun);
std::string ResetCountLine(const ResetSummary& summary);

}  // namespace tokiren
