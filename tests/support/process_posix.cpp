// Running a program on POSIX: fork and exec.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/process.h"

namespace tokiren::testing {

int RunProgram(const std::vector<std::string>& args, const std::string& outPath,
               const std::string& errPath) {
  std::vector<std::string> copies = args;
  const pid_t child = fork();
  if (child == 0) {
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    std::vector<char*> argv;
    for (std::string& arg : copies) argv.push_back(arg.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace tokiren::testing
