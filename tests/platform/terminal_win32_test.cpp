// Telling a console from a file or a pipe on Windows.
#include "platform/console.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "tests/support/temp_tree.h"

namespace tokiren {
namespace {

TEST(Win32IsTerminalTest, TellsAFileFromAConsole) {
  testing::TempTree tree;
  std::FILE* file = std::fopen((tree / "out.txt").c_str(), "w");
  ASSERT_NE(file, nullptr);
  EXPECT_FALSE(IsTerminal(file));
  std::fclose(file);
}

TEST(Win32IsTerminalTest, TellsAPipeFromAConsole) {
  HANDLE readEnd, writeEnd;
  ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, nullptr, 0));
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(writeEnd), _O_WRONLY);
  ASSERT_GE(fd, 0);
  std::FILE* stream = _fdopen(fd, "w");
  ASSERT_NE(stream, nullptr);
  EXPECT_FALSE(IsTerminal(stream));
  std::fclose(stream);
  CloseHandle(readEnd);
}

}  // namespace
}  // namespace tokiren
