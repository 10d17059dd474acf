// tokiren-cli on POSIX: errno in the system's words, and a terminal of the test's own.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include "cli/command_line.h"
#include "tests/support/temp_tree.h"

namespace tokiren {
namespace {

using testing::LocalTimestamp;
using testing::ScopedTimeZone;
using testing::TempTree;

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs tokiren-cli with `args`, its output going to files in `scratch`.
Result RunCli(const TempTree& scratch, std::vector<std::string> args) {
  const std::string outPath = scratch / "stdout", errPath = scratch / "stderr";
  args.insert(args.begin(), TOKIREN_CLI);
  const pid_t child = fork();
  if (child == 0) {
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  Result result;
  int status = 0;
  waitpid(child, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = scratch.Read("stdout");
  result.err = scratch.Read("stderr");
  return result;
}

class PosixCliTest : public ::testing::Test {
 protected:
  ScopedTimeZone zone_{"UTC"};  // inherited by the child
  TempTree tree_;
  TempTree scratch_;
  const std::time_t stamp42_ = LocalTimestamp(2016, 8, 30, 12, 48, 42);
};

TEST_F(PosixCliTest, SaysWhatFailedInTheSystemsWords) {
  tree_.Write("photos/a.jpg", "", stamp42_);
  tree_.MakeFolder("app/tokiren_log.txt/in-the-way");  // a folder where the log should go
  const Result run =
      RunCli(scratch_, {"run", tree_ / "photos", "--ext", "jpg", "--log-dir", tree_ / "app"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("tokiren-cli: cannot create the log " + tree_ / "app/tokiren_log.txt" +
                         ": Is a directory"),
            std::string::npos)
      << run.err;
  EXPECT_TRUE(tree_.Exists("photos/a.jpg"));
}

// A name made to act on a terminal: shown escaped there, its exact bytes kept in a file.
TEST_F(PosixCliTest, NamesCannotRewriteTheTerminal) {
  const std::string name = "\x1b]0;owned\a\x1b[2J.jpg";
  tree_.Write("photos/" + name, "", stamp42_);
  const std::vector<std::string> args{TOKIREN_CLI, "run", tree_ / "photos", "--ext", "jpg",
                                      "--dry-run", "--log-dir", tree_ / "photos"};
  const Result toFile = RunCli(scratch_, {args.begin() + 1, args.end()});
  EXPECT_NE(toFile.out.find(tree_ / "photos/" + name + " as "), std::string::npos);

  int terminal = -1;
  const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  std::string shown;
  char buffer[4096];
  for (ssize_t got; (got = read(terminal, buffer, sizeof buffer)) > 0;) shown.append(buffer, got);
  close(terminal);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_EQ(shown.find('\x1b'), std::string::npos) << shown;
  EXPECT_NE(shown.find("\\033]0;owned\\a\\033[2J.jpg as "), std::string::npos) << shown;
}

}  // namespace
}  // namespace tokiren
