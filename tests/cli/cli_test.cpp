#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "cli/command_line.h"
#include "tests/media/media_files.h"
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

class CliTest : public ::testing::Test {
 protected:
  ScopedTimeZone zone_{"UTC"};  // inherited by the child
  TempTree tree_;
  TempTree scratch_;
  const std::time_t stamp42_ = LocalTimestamp(2016, 8, 30, 12, 48, 42);
};

TEST_F(CliTest, ADryRunPrintsTheLogTheRunThenWrites) {
  tree_.Write("photos/a.jpg", "", stamp42_);
  tree_.Write("photos/b.JPG", "", stamp42_);
  tree_.Write("photos/c.png", "", stamp42_);
  tree_.Write("photos/sub/d.png", "", stamp42_);
  tree_.MakeFolder("app");
  const std::vector<std::string> args{"run", tree_ / "photos", "--ext", "jpg", "--ext=.PNG",
                                      "--separator", "--log-dir", tree_ / "app"};
  std::vector<std::string> dryArgs = args;
  dryArgs.push_back("--dry-run");
  const Result dry = RunCli(scratch_, dryArgs);
  EXPECT_EQ(dry.status, 0) << dry.err;
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"a.jpg", "b.JPG", "c.png", "sub"}));
  EXPECT_FALSE(tree_.Exists("app/tokiren_log.txt"));

  const Result run = RunCli(scratch_, args);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(tree_.Names("photos"),
            (std::vector<std::string>{"2016_0830_124842.JPG", "2016_0830_124842.PNG",
                                      "2016_0830_124843.JPG", "sub"}));
  EXPECT_EQ(dry.out, tree_.Read("app/tokiren_log.txt"));
  EXPECT_NE(dry.out.find(tree_ / "photos/sub/d.png as "), std::string::npos);
}

TEST_F(CliTest, ReportsARunErrorWithItsMessageAndFails) {
  tree_.Write("photos/a.jpg", "", stamp42_);
  tree_.MakeFolder("photos/20160830124842.JPG");  // not a file, so the name looks free
  tree_.MakeFolder("app");
  const Result run =
      RunCli(scratch_, {"run", tree_ / "photos", "--ext", ".JPG", "--log-dir", tree_ / "app"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("処理を中止します。\n同名のファイルが存在します。\n" +
                         tree_ / "photos/a.jpg\n" + tree_ / "photos/20160830124842.JPG\n"),
            std::string::npos)
      << run.err;
  EXPECT_TRUE(tree_.Exists("photos/a.jpg"));
}

TEST_F(CliTest, ResetRestoresTheLastRun) {
  tree_.Write("photos/a.jpg", "a", stamp42_);
  tree_.MakeFolder("app");
  ASSERT_EQ(RunCli(scratch_, {"run", tree_ / "photos", "--all", "--log-dir", tree_ / "app"}).status,
            0);
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"20160830124842"}));
  tree_.Write("photos/b.jpg", "", stamp42_);
  const Result reset = RunCli(scratch_, {"reset", "--log-dir", tree_ / "app"});
  EXPECT_EQ(reset.status, 0) << reset.err;
  EXPECT_NE(reset.err.find("1 files restored"), std::string::npos);
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"a.jpg", "b.jpg"}));
}

TEST_F(CliTest, ResetFailsWhenARenameBackFails) {
  tree_.Write("photos/a.jpg", "a", stamp42_);
  tree_.MakeFolder("app");
  ASSERT_EQ(RunCli(scratch_, {"run", tree_ / "photos", "--ext", "JPG", "--log-dir", tree_ / "app"})
                .status,
            0);
  tree_.Write("photos/a.jpg", "taken");
  const Result reset = RunCli(scratch_, {"reset", "--log-dir", tree_ / "app"});
  EXPECT_EQ(reset.status, 1);
  EXPECT_NE(reset.err.find("同名のファイルが存在します。"), std::string::npos);
  EXPECT_EQ(tree_.Read("photos/a.jpg"), "taken");
}

TEST_F(CliTest, TakenNamesPhotosAfterTheirCaptureTimeAndCountsTheRest) {
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

TEST_F(CliTest, SaysWhatFailedInTheSystemsWords) {
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

TEST_F(CliTest, ResetSaysWhatItCouldNotFindAndKeeps) {
  tree_.Write("photos/a.jpg", "a", stamp42_);
  tree_.MakeFolder("app");
  ASSERT_EQ(RunCli(scratch_, {"run", tree_ / "photos", "--ext", "jpg", "--log-dir", tree_ / "app"})
                .status,
            0);
  ASSERT_EQ(rename((tree_ / "photos").c_str(), (tree_ / "card-out").c_str()), 0);
  const Result reset = RunCli(scratch_, {"reset", "--log-dir", tree_ / "app"});
  EXPECT_EQ(reset.status, 1);
  EXPECT_NE(reset.err.find("0 files restored, 1 not found and kept in the log for a later Reset"),
            std::string::npos)
      << reset.err;
  ASSERT_EQ(rename((tree_ / "card-out").c_str(), (tree_ / "photos").c_str()), 0);
  EXPECT_EQ(RunCli(scratch_, {"reset", "--log-dir", tree_ / "app"}).status, 0);
  EXPECT_EQ(tree_.Read("photos/a.jpg"), "a");
}

// A name made to act on a terminal: shown escaped there, its exact bytes kept in a file.
TEST_F(CliTest, NamesCannotRewriteTheTerminal) {
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

TEST_F(CliTest, RefusesBadArgumentsAndTouchesNothing) {
  tree_.Write("photos/a.jpg", "", stamp42_);
  const std::vector<std::vector<std::string>> bad{
      {"run", tree_ / "photos"},                               // no extension
      {"run", tree_ / "photos", "--all", "--ext", "jpg"},      // both
      {"run", tree_ / "missing", "--all"},                     // no such folder
      {"run", tree_ / "photos/a.jpg", "--all"},                // a file
      {"run", "--all"},                                        // no folder
      {"run", tree_ / "photos", "--ext"},                      // no value
      {"run", tree_ / "photos", "--all", "--bogus"},
      {"run", tree_ / "photos", "--all", "--taken", "--creation"},  // two time sources
      {"frobnicate"},
  };
  for (const auto& args : bad) {
    const Result result = RunCli(scratch_, args);
    EXPECT_EQ(result.status, 2) << args[0] << " " << (args.size() > 1 ? args.back() : "");
    EXPECT_NE(result.err.find("tokiren-cli: "), std::string::npos);
  }
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"a.jpg"}));
  const Result help = RunCli(scratch_, {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("tokiren-cli run FOLDER"), std::string::npos);
}

TEST(CommandLineTest, BuildsTheListTheWindowWouldHold) {
  CommandLine line;
  std::string error;
  ASSERT_TRUE(ParseCommandLine({"run", "f", "--ext", "txt", "--ext", ".avi", "--ext", "TXT"}, &line,
                               &error));
  const std::vector<ExtensionEntry> expected{{".*", false}, {".AVI", true}, {".TXT", true}};
  EXPECT_EQ(line.options.extensions, expected);
  ASSERT_TRUE(ParseCommandLine({"run", "f", "--ext", ".*", "--creation", "--no-count-up"}, &line,
                               &error));
  EXPECT_EQ(line.options.extensions, (std::vector<ExtensionEntry>{{".*", true}}));
  EXPECT_EQ(line.options.timeSource, TimeSource::kCreation);
  EXPECT_FALSE(line.options.countUp);
  ASSERT_TRUE(ParseCommandLine({"run", "f", "--all", "--taken"}, &line, &error));
  EXPECT_EQ(line.options.timeSource, TimeSource::kTaken);
  EXPECT_FALSE(ParseCommandLine({"run", "f", "--all", "--taken", "--creation"}, &line, &error));
  EXPECT_EQ(error, "give either --creation or --taken, not both");
}

}  // namespace
}  // namespace tokiren
