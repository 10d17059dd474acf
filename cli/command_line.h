// The command line of tokiren-cli, parsed into what the engine needs.
#pragma once

#include <string>
#include <vector>

#include "engine/engine.h"

namespace tokiren {

struct CommandLine {
  enum class Command { kHelp, kRun, kReset };
  Command command = Command::kHelp;
  std::string folder;  // run: the folder as given
  std::string logDir;  // "" for the program's own folder
  RunOptions options;
  bool dryRun = false;
};

// Parses argv[1..]. On a mistake returns false with a one-line `error` for the user.
bool ParseCommandLine(const std::vector<std::string>& args, CommandLine* line, std::string* error);

extern const char kUsage[];

}  // namespace tokiren
