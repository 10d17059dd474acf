// tokiren-cli run as a real process by the command-line tests, and their fixture.
#pragma once

#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "platform/program_folder.h"
#include "tests/support/process.h"
#include "tests/support/temp_tree.h"

namespace tokiren::testing {

struct CliResult {
  int status = -1;
  std::string out;
  std::string err;
};

// The path of tokiren-cli, which lies beside the tests.
inline std::string CliPath() { return ExecutableFolder() + TOKIREN_CLI_NAME; }

// Runs tokiren-cli with `args`, its output going to files in `scratch`.
inline CliResult RunCli(const TempTree& scratch, std::vector<std::string> args) {
  const std::string outPath = scratch / "stdout", errPath = scratch / "stderr";
  args.insert(args.begin(), CliPath());
  CliResult result;
  result.status = RunProgram(args, outPath, errPath);
  result.out = scratch.Read("stdout");
  result.err = scratch.Read("stderr");
  return result;
}

class CliTest : public ::testing::Test {
 protected:
  ScopedTimeZone zone_{"UTC"};  // inherited by the child
  TempTree tree_;
  TempTree scratch_;
  const std::time_t stamp42_ = LocalTimestamp(2016, 8, 30, 12, 48, 42);
};

}  // namespace tokiren::testing
