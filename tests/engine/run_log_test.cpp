#include "engine/run_log.h"

#include <gtest/gtest.h>

#include <functional>

#include "engine/log.h"
#include "tests/support/temp_tree.h"

namespace tokiren {
namespace {

using testing::TempTree;

std::string Line(const TempTree& tree, const char* from, const char* to) {
  return tree / from + std::string(kLogSeparator) + (tree / to) + std::string(kLogLineEnd);
}

// The log's life through one run: the log, the marker and the set-aside log as they stand
// afterwards, from a last run's log (ended, or marked as a run that did not end).
TEST(RunLogTest, KeepsTheWayBackThroughEveryEndOfARun) {
  TempTree tree;
  const std::string& folder = tree.path();
  const std::string last = Line(tree, "old", "older");
  const std::string one = Line(tree, "a", "b");
  const std::string two = Line(tree, "c", "d");
  struct Case {
    const char* what;
    bool unfinished;  // the last run's log is marked as a run that did not end
    std::function<ErrorCode(RunLog&)> run;
    std::string log;  // afterwards
  };
  const Case cases[] = {
      {"a run that renamed nothing", false, [](RunLog& log) { return log.End(); }, last},
      {"a run whose renames were all withdrawn", false,
       [&](RunLog& log) {
         ErrorCode error = log.Write(one);
         if (error.ok()) error = log.Withdraw(0, "");
         return error.ok() ? log.End() : error;
       },
       last},
      {"a run that made its renames", false,
       [&](RunLog& log) {
         ErrorCode error = log.Write(one + two);
         log.RenameMade();
         return error.ok() ? log.End() : error;
       },
       one + two},
      {"a run that stopped after its first rename", false,
       [&](RunLog& log) {
         ErrorCode error = log.Write(one + two);
         log.RenameMade();
         return error.ok() ? log.StopAt(one.size()) : error;
       },
       one},
      {"a run that stopped before any rename", false,
       [&](RunLog& log) {
         const ErrorCode error = log.Write(one);
         return error.ok() ? log.StopAt(0) : error;
       },
       last},
      {"a run after one that did not end", true,
       [&](RunLog& log) {
         ErrorCode error = log.Write(one);
         log.RenameMade();
         return error.ok() ? log.End() : error;
       },
       last + one},
      {"a run whose middle rename was withdrawn", false,
       [&](RunLog& log) {
         ErrorCode error = log.Write(one + two);
         log.RenameMade();
         if (error.ok()) error = log.Withdraw(0, two);
         return error.ok() ? log.End() : error;
       },
       two},
  };
  for (const Case& c : cases) {
    TempTree::WriteFile(folder + std::string(kLogFileName), last);
    if (c.unfinished) TempTree::WriteFile(folder + std::string(kRunMarkerFileName), "");
    {
      // Windows removes a file still open (the log of the run that did not end) once it is
      // closed: the run's log is looked at as the run leaves it.
      RunLog log(SystemFileSystem(), folder);
      ASSERT_TRUE(log.Open(false).ok()) << c.what;
      EXPECT_TRUE(c.run(log).ok()) << c.what;
    }
    EXPECT_EQ(tree.Read(std::string(kLogFileName)), c.log) << c.what;
    EXPECT_FALSE(tree.Exists(std::string(kRunMarkerFileName))) << c.what;
    EXPECT_FALSE(tree.Exists(std::string(kLogBackupFileName))) << c.what;
  }
}

TEST(RunLogTest, KnowsTheRenamesOfARunThatDidNotEndOnlyWhileItIsMarked) {
  TempTree tree;
  const std::string& folder = tree.path();
  TempTree::WriteFile(folder + std::string(kLogFileName),
                      Line(tree, "a", "b") + Line(tree, "c", "d") + "torn line without its end");
  for (const bool marked : {true, false}) {
    if (marked) TempTree::WriteFile(folder + std::string(kRunMarkerFileName), "");
    RunLog log(SystemFileSystem(), folder);
    ASSERT_TRUE(log.Open(true).ok());
    EXPECT_EQ(log.UnfinishedRenameOf(tree / "c"), marked ? tree / "d" : "");
    EXPECT_EQ(log.UnfinishedRenameTo(tree / "b"), marked ? tree / "a" : "");
    EXPECT_EQ(log.UnfinishedRenameOf(tree / "b"), "");
    SystemFileSystem().RemoveOwnFile(folder + std::string(kRunMarkerFileName));
  }
}

}  // namespace
}  // namespace tokiren
