// Telling a terminal from a file or a pipe.
#include "platform/console.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "tests/support/temp_tree.h"

namespace tokiren {
namespace {

TEST(IsTerminalTest, FindsATerminal) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const char* name = ptsname(master);
  ASSERT_NE(name, nullptr);
  std::FILE* terminal = std::fopen(name, "w");
  ASSERT_NE(terminal, nullptr);
  EXPECT_TRUE(IsTerminal(terminal));
  std::fclose(terminal);
  close(master);
}

TEST(IsTerminalTest, TellsAFileFromATerminal) {
  testing::TempTree tree;
  std::FILE* file = std::fopen((tree / "out.txt").c_str(), "w");
  ASSERT_NE(file, nullptr);
  EXPECT_FALSE(IsTerminal(file));
  std::fclose(file);
}

TEST(IsTerminalTest, TellsAPipeFromATerminal) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  std::FILE* writeEnd = fdopen(ends[1], "w");
  ASSERT_NE(writeEnd, nullptr);
  EXPECT_FALSE(IsTerminal(writeEnd));
  std::fclose(writeEnd);
  close(ends[0]);
}

}  // namespace
}  // namespace tokiren
