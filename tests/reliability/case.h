// One case of the reliability suite: a tree, an empty log folder beside it, the tree's manifest
// taken before anything ran, and the checks every case ends with.
#pragma once

#include <sys/stat.h>

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "tests/reliability/harness.h"

namespace tokiren::reliability {

struct Case {
  // A tree of `files` made by MakeTree, in a scratch folder or, when given, in `base`.
  explicit Case(int files, unsigned seed = 1, const std::string& base = "")
      : tree((base.empty() ? scratch.path() : base) + "/tree"),
        logs((base.empty() ? scratch.path() : base) + "/logs") {
    if (files > 0) MakeTree(tree, files, seed);
    mkdir(tree.c_str(), 0755);
    mkdir(logs.c_str(), 0755);
    GiveToChildUser(base.empty() ? scratch.path() : base);
    before = TakeManifest(tree);
    ++SuiteTally().cases;
  }

  // Takes the manifest again, once a test has made its own tree.
  void Retake() {
    GiveToChildUser(tree);
    before = TakeManifest(tree);
  }

  Scratch scratch;
  const std::string tree;
  const std::string logs;
  Manifest before;
};

inline Outcome RunOn(const Case& c, std::vector<std::string> strace = {}) {
  return RunCli({RunArgs(c.tree, c.logs), std::move(strace)});
}

inline Outcome ResetOn(const Case& c, std::vector<std::string> strace = {}) {
  return RunCli({ResetArgs(c.logs), std::move(strace)});
}

// The tree after a run that may have been cut off matches the log.
inline void ExpectMatchesLog(const Case& c) {
  const Problems problems =
      CheckAfterRun(c.before, TakeManifest(c.tree), LoggedRenames(LogText(c.logs), c.tree));
  EXPECT_TRUE(problems.empty()) << Describe(problems);
}

// Reset restores every name, and a second Reset leaves the tree alone.
inline void ExpectResetRestores(const Case& c) {
  const Outcome first = ResetOn(c);
  EXPECT_TRUE(first.exited && first.exitCode == 0) << first.output;
  Problems problems = CheckSame(c.before, TakeManifest(c.tree));
  EXPECT_TRUE(problems.empty()) << "after Reset: " << Describe(problems);
  const Outcome second = ResetOn(c);
  EXPECT_TRUE(second.exited && second.exitCode == 0) << second.output;
  problems = CheckSame(c.before, TakeManifest(c.tree));
  EXPECT_TRUE(problems.empty()) << "after a second Reset: " << Describe(problems);
}

// How many files of the case stand at a name other than their old one.
inline size_t RenamedCount(const Case& c) {
  const Manifest after = TakeManifest(c.tree);
  size_t moved = 0;
  for (const auto& [path, record] : c.before.files) {
    const auto found = after.files.find(path);
    if (found == after.files.end() || found->second.inode != record.inode) ++moved;
  }
  return moved;
}

// strace options that kill the program at the n-th call of `call`.
inline std::vector<std::string> KillAt(const std::string& call, int n) {
  ++SuiteTally().crashPoints;
  return {"-e", "trace=" + call, "-e",
          "inject=" + call + ":signal=KILL:when=" + std::to_string(n)};
}

// strace options that hold each rename back for `microseconds`, so another process can act
// while the run goes on.
inline std::vector<std::string> RenamesSlowedBy(int microseconds) {
  return {"-e", "trace=renameat2", "-e",
          "inject=renameat2:delay_enter=" + std::to_string(microseconds)};
}

// strace options that make only the n-th call of `call` fail with `error`.
inline std::vector<std::string> FailAt(const std::string& call, const std::string& error, int n) {
  ++SuiteTally().faults;
  return {"-e", "trace=" + call, "-e",
          "inject=" + call + ":error=" + error + ":when=" + std::to_string(n)};
}

// strace options that make every call of `call` from the n-th on fail with `error`.
inline std::vector<std::string> FailFrom(const std::string& call, const std::string& error,
                                         int n = 1) {
  ++SuiteTally().faults;
  return {"-e", "trace=" + call, "-e",
          "inject=" + call + ":error=" + error + ":when=" + std::to_string(n) + "+"};
}

}  // namespace tokiren::reliability
