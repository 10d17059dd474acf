// Running a program as a test would from a shell.
#pragma once

#include <string>
#include <vector>

namespace tokiren::testing {

// Runs the program `args[0]` with the arguments `args[1..]` (UTF-8), its standard output and error
// going to the files `outPath` and `errPath`, and returns its exit status (-1 when it could not be
// started or did not exit normally).
int RunProgram(const std::vector<std::string>& args, const std::string& outPath,
               const std::string& errPath);

}  // namespace tokiren::testing
