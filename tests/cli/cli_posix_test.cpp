// tokiren-cli on POSIX: errno in the system's words, a terminal of the test's own, and --taken
// (Linux only) on real photos.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "cli/command_line.h"
#include "tests/cli/cli_test_support.h"
#include "tests/media/media_files.h"

namespace tokiren {
namespace {

using Result = testing::CliResult;
using testing::RunCli;

class PosixCliTest : public testing::CliTest {
 protected:
  // Runs tokiren-cli with `args` on a terminal of the test's own; what it showed there.
  static std::string RunOnTerminal(const std::vector<std::string>& args) {
    std::vector<std::string> command{testing::CliPath()};
    command.insert(command.end(), args.begin(), args.end());
    int terminal = -1;
    const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child < 0) {
      ADD_FAILURE() << "forkpty failed";
      return {};
    }
    if (child == 0) {
      std::vector<char*> argv;
      for (const std::string& arg : command) argv.push_back(const_cast<char*>(arg.c_str()));
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
    return shown;
  }

  // The lines a terminal is left showing after `shown`: a carriage return goes back to the start
  // of the line, whose text is then written over; trailing blanks are dropped.
  static std::vector<std::string> Screen(const std::string& shown) {
    std::vector<std::string> lines(1);
    size_t column = 0;
    for (const char c : shown) {
      if (c == '\r') {
        column = 0;
      } else if (c == '\n') {
        lines.emplace_back();
        column = 0;
      } else {
        std::string& line = lines.back();
        if (line.size() <= column) line.resize(column + 1, ' ');
        line[column++] = c;
      }
    }
    for (std::string& line : lines) line.erase(line.find_last_not_of(' ') + 1);
    return lines;
  }
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
  const std::vector<std::string> args{"run", tree_ / "photos", "--ext", "jpg",
                                      "--dry-run", "--log-dir", tree_ / "photos"};
  const Result toFile = RunCli(scratch_, args);
  EXPECT_NE(toFile.out.find(tree_ / "photos/" + name + " as "), std::string::npos);

  const std::string shown = RunOnTerminal(args);
  EXPECT_EQ(shown.find('\x1b'), std::string::npos) << shown;
  EXPECT_NE(shown.find("\\033]0;owned\\a\\033[2J.jpg as "), std::string::npos) << shown;
}

// A long log: Reset shows how much of it is done, and erases that line before its summary.
TEST_F(PosixCliTest, ResetShowsItsShareOfTheLogOnATerminal) {
  const std::string p = tree_ / "photos/";
  std::string log;
  for (int i = 0; i < 10000; ++i) {
    log += p + "gone" + std::to_string(i) + ".jpg as " + p + std::to_string(i) + ".JPG\r\n";
  }
  tree_.Write("app/tokiren_log.txt", log);
  const std::string shown = RunOnTerminal({"reset", "--log-dir", tree_ / "app"});
  const std::size_t first = shown.find("\rresetting: ");
  ASSERT_NE(first, std::string::npos) << shown;
  const int share = std::atoi(shown.c_str() + first + std::strlen("\rresetting: "));
  EXPECT_GT(share, 0) << shown;
  EXPECT_LT(share, 100) << shown;
  EXPECT_NE(shown.find("\rresetting: 100 % of the log"), std::string::npos) << shown;
  const std::vector<std::string> screen = Screen(shown);
  ASSERT_FALSE(screen.empty());
  EXPECT_EQ(screen.front().rfind("0 files restored, 10000 not found", 0), 0u) << shown;
}

// A dry run on a terminal: its progress says it plans, each planned line starts a line of its own
// with no progress before it, and no progress is left when the run ends.
TEST_F(PosixCliTest, DryRunProgressNeverSharesALineAndIsErasedAtTheEnd) {
  constexpr int kFiles = 5000;  // more than one step of the engine's progress
  for (int i = 0; i < kFiles; ++i) tree_.Write("photos/" + std::to_string(i) + ".jpg", "", stamp42_);
  tree_.MakeFolder("app");
  const std::string shown = RunOnTerminal(
      {"run", tree_ / "photos", "--ext", "jpg", "--dry-run", "--log-dir", tree_ / "app"});
  EXPECT_NE(shown.find("collecting: 5000 files"), std::string::npos) << shown.substr(0, 300);
  EXPECT_NE(shown.find("planning: 64 of 5000 files"), std::string::npos) << shown.substr(0, 300);
  EXPECT_EQ(shown.find("renaming:"), std::string::npos);
  int planned = 0;
  for (const std::string& line : Screen(shown)) {
    EXPECT_EQ(line.find("collecting:"), std::string::npos) << line;
    EXPECT_EQ(line.find("planning:"), std::string::npos) << line;
    if (line.find(" as ") == std::string::npos) continue;
    ++planned;
    EXPECT_EQ(line.rfind(tree_ / "photos/", 0), 0u) << line;
  }
  EXPECT_EQ(planned, kFiles);
}

TEST_F(PosixCliTest, TakenNamesPhotosAfterTheirCaptureTimeAndCountsTheRest) {
  tree_.MakeFolder("photos");
  const std::string photo = tree_ / "photos/IMG_0001.JPG";
  ASSERT_TRUE(testing::MakeJpeg(photo));
  ASSERT_TRUE(testing::SetExifText(photo, "Exif.Photo.DateTimeOriginal", "2001:02:03 04:05:06"));
  const std::string untagged = tree_ / "photos/IMG_0002.JPG";
  ASSERT_TRUE(testing::MakeJpeg(untagged));
  const std::string cut = tree_ / "photos/IMG_0003.JPG";
  ASSERT_TRUE(testing::CopyTruncated(photo, cut, 60));
  for (const std::string& path : {photo, untagged, cut}) {
    const timespec times[2] = {{stamp42_, 0}, {stamp42_, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  }
  tree_.MakeFolder("app");
  const Result run = RunCli(scratch_, {"run", tree_ / "photos", "--ext", "jpg", "--taken",
                                       "--log-dir", tree_ / "app"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{
                                       "20010203040506.JPG", "20160830124842.JPG",
                                       "20160830124843.JPG"}));
  EXPECT_NE(run.err.find("3 files renamed\n2 files had no capture time and were named after "
                         "their last-write time\n"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(RunCli(scratch_, {"reset", "--log-dir", tree_ / "app"}).status, 0);
  EXPECT_EQ(tree_.Names("photos"),
            (std::vector<std::string>{"IMG_0001.JPG", "IMG_0002.JPG", "IMG_0003.JPG"}));
}

}  // namespace
}  // namespace tokiren
