#include <gtest/gtest.h>

#include <cstdio>

#include "cli/command_line.h"
#include "tests/cli/cli_test_support.h"

namespace tokiren {
namespace {

using Result = testing::CliResult;
using testing::CliTest;
using testing::RunCli;

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

TEST_F(CliTest, ListNamesEveryFileNotRenamedAndTheCountsSayWhy) {
  tree_.Write("photos/20160830124842.JPG", "", stamp42_);
  tree_.Write("photos/x.jpg", "", stamp42_);
  tree_.Write("photos/y.jpg", "", testing::LocalTimestamp(2016, 8, 30, 12, 48, 50));
  tree_.MakeFolder("app");
  for (const bool list : {false, true}) {
    std::vector<std::string> args{"run", tree_ / "photos", "--ext", "jpg", "--no-count-up",
                                  "--dry-run", "--log-dir", tree_ / "app"};
    if (list) args.push_back("--list");
    const Result run = RunCli(scratch_, args);
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string named = "tokiren-cli: already named: " + tree_ / "photos/20160830124842.JPG";
    const std::string taken = "tokiren-cli: left alone, the name is taken: " + tree_ / "photos/x.jpg";
    EXPECT_EQ(run.err.find(named) != std::string::npos, list) << run.err;
    EXPECT_EQ(run.err.find(taken) != std::string::npos, list) << run.err;
    EXPECT_EQ(run.err.find("y.jpg"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("1 already named, 1 left alone: the name was taken\n"),
              std::string::npos) << run.err;
  }
}

TEST_F(CliTest, ShiftCorrectsACameraClockAcrossTheYearAndResetUndoesIt) {
  tree_.Write("photos/a.jpg", "a", testing::LocalTimestamp(2016, 12, 31, 23, 30, 0));
  tree_.MakeFolder("app");
  const Result refused = RunCli(scratch_, {"run", tree_ / "photos", "--ext", "jpg", "--shift",
                                           "+1:60:00", "--log-dir", tree_ / "app"});
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.err.find("'+1:60:00' is not an offset"), std::string::npos) << refused.err;
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"a.jpg"}));
  const std::vector<std::string> run{"run", tree_ / "photos", "--ext", "jpg", "--shift=+1:00:00",
                                     "--log-dir", tree_ / "app"};
  EXPECT_EQ(RunCli(scratch_, run).status, 0);
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"20170101003000.JPG"}));
  const Result again = RunCli(scratch_, run);
  EXPECT_NE(again.err.find("0 files renamed, 1 already named\n"), std::string::npos) << again.err;
  EXPECT_EQ(RunCli(scratch_, {"reset", "--log-dir", tree_ / "app"}).status, 0);
  EXPECT_EQ(tree_.Read("photos/a.jpg"), "a");
}

TEST_F(CliTest, ResetRestoresTheLastRun) {
  tree_.Write("photos/a.jpg", "a", stamp42_);
  tree_.MakeFolder("app");
  ASSERT_EQ(RunCli(scratch_, {"run", tree_ / "photos", "--all", "--log-dir", tree_ / "app"}).status,
            0);
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"20160830124842.JPG"}));
  tree_.Write("photos/b.jpg", "", stamp42_);
  const Result reset = RunCli(scratch_, {"reset", "--log-dir", tree_ / "app"});
  EXPECT_EQ(reset.status, 0) << reset.err;
  EXPECT_NE(reset.err.find("1 file restored\n"), std::string::npos) << reset.err;
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

TEST_F(CliTest, ResetSaysWhatItCouldNotFindAndKeeps) {
  tree_.Write("photos/a.jpg", "a", stamp42_);
  tree_.MakeFolder("app");
  ASSERT_EQ(RunCli(scratch_, {"run", tree_ / "photos", "--ext", "jpg", "--log-dir", tree_ / "app"})
                .status,
            0);
  ASSERT_EQ(std::rename((tree_ / "photos").c_str(), (tree_ / "card-out").c_str()), 0);
  const Result reset = RunCli(scratch_, {"reset", "--log-dir", tree_ / "app"});
  EXPECT_EQ(reset.status, 1);
  EXPECT_NE(reset.err.find("0 files restored, 1 not found and kept in the log for a later Reset"),
            std::string::npos)
      << reset.err;
  ASSERT_EQ(std::rename((tree_ / "card-out").c_str(), (tree_ / "photos").c_str()), 0);
  EXPECT_EQ(RunCli(scratch_, {"reset", "--log-dir", tree_ / "app"}).status, 0);
  EXPECT_EQ(tree_.Read("photos/a.jpg"), "a");
}

// A name made to act on a terminal: shown escaped there, its exact bytes kept in a file.

TEST_F(CliTest, RefusesBadArgumentsAndTouchesNothing) {
  tree_.Write("photos/a.jpg", "", stamp42_);
  const std::vector<std::vector<std::string>> bad{
      {"run", tree_ / "photos"},                               // no extension
      {"run", tree_ / "photos", "--all", "--ext", "jpg"},      // both
      {"run", tree_ / "missing", "--all"},                     // no such folder
      {"run", tree_ / "photos/a.jpg", "--all"},                // a file
      {"run", "--all"},                                        // no folder
      {"run", tree_ / "photos", "--ext"},                      // no value
      {"run", tree_ / "photos", "--ext", ""},                  // an empty value
      {"run", tree_ / "photos", "--ext", "jpg,"},              // an empty entry
      {"run", tree_ / "photos", "--ext", "j?g"},               // no file name holds "?"
      {"run", tree_ / "photos", "--all", "--bogus"},
      {"run", tree_ / "photos", "--all", "--taken", "--creation"},  // two time sources
      {"run", tree_ / "photos", "--all", "--taken", "--helpers", "0"},
      {"run", tree_ / "photos", "--all", "--taken", "--helpers", "17"},
      {"run", tree_ / "photos", "--all", "--taken", "--helpers", "2x"},
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
  // A build without the media readers reads no capture times: the help says so below --taken.
#ifndef TOKIREN_READS_CAPTURE_TIMES
  EXPECT_NE(help.out.find("--taken is not available on this system"), std::string::npos);
#else
  EXPECT_EQ(help.out.find("--taken is not available on this system"), std::string::npos);
#endif
}

TEST_F(CliTest, SaysWhatIsWrongAndWhoItIs) {
  tree_.Write("photos/a.jpg", "", stamp42_);
  const struct {
    std::vector<std::string> args;
    int status;
    std::string out;  // all of stdout
    std::string err;  // found in stderr
  } cases[] = {
      {{}, 2, "", "Usage:\n  tokiren-cli run FOLDER"},
      {{"--version"}, 0, "tokiren-cli " TOKIREN_VERSION "\n", ""},
      {{"run", tree_ / "missing", "--all"}, 2, "",
       "tokiren-cli: '" + tree_ / "missing" + "' does not exist\n"},
      {{"run", tree_ / "photos/a.jpg", "--all"}, 2, "",
       "tokiren-cli: '" + tree_ / "photos/a.jpg" + "' is not a folder\n"},
      {{"run", tree_ / "photos", "--ext", ""}, 2, "",
       "tokiren-cli: --ext needs an extension, such as --ext jpg\n"},
  };
  for (const auto& c : cases) {
    const Result result = RunCli(scratch_, c.args);
    const std::string shown = c.args.empty() ? "(none)" : c.args.back();
    EXPECT_EQ(result.status, c.status) << shown;
    EXPECT_EQ(result.out, c.out) << shown;
    EXPECT_NE(result.err.find(c.err), std::string::npos) << shown << ": " << result.err;
  }
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"a.jpg"}));
}

TEST_F(CliTest, TakesSeveralExtensionsInOneValueAndAStarBeforeTheDot) {
  tree_.Write("photos/a.jpg", "", stamp42_);
  tree_.Write("photos/b.png", "", stamp42_);
  tree_.Write("photos/c.txt", "", stamp42_);
  tree_.MakeFolder("app");
  const Result run = RunCli(scratch_, {"run", tree_ / "photos", "--ext", "*.jpg", "--ext", "png,TXT",
                                       "--log-dir", tree_ / "app"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"20160830124842.JPG",
                                                             "20160830124842.PNG",
                                                             "20160830124842.TXT"}));
  EXPECT_EQ(run.err, "3 files renamed\n");
}

TEST(CommandLineTest, ReadsEachExtensionAsTheWindowsBoxDoes) {
  const struct {
    std::vector<std::string> values;  // each after its own --ext
    std::vector<ExtensionEntry> list;  // empty: refused
    std::string error;
  } cases[] = {
      {{"*.jpg"}, {{".*", false}, {".JPG", true}}, ""},
      {{" jpg "}, {{".*", false}, {".JPG", true}}, ""},
      {{"jpg,png"}, {{".*", false}, {".JPG", true}, {".PNG", true}}, ""},
      {{"png", "*.PNG,.jpg"}, {{".*", false}, {".JPG", true}, {".PNG", true}}, ""},
      {{"*.*"}, {{".*", true}}, ""},
      {{""}, {}, "--ext needs an extension, such as --ext jpg"},
      {{"."}, {}, "--ext needs an extension, such as --ext jpg"},
      {{"jpg,,png"}, {}, "--ext needs an extension, such as --ext jpg"},
      {{"a:b"}, {}, "--ext 'a:b': an extension holds none of \\ / : * ? \" < > | nor control characters"},
      {{std::string(300, 'a')}, {}, "--ext: an extension is at most 255 bytes with its dot"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{"run", "f"};
    for (const std::string& value : c.values) {
      args.push_back("--ext");
      args.push_back(value);
    }
    CommandLine line;
    std::string error;
    const bool parsed = ParseCommandLine(args, &line, &error);
    EXPECT_EQ(parsed, c.error.empty()) << c.values.back();
    EXPECT_EQ(error, c.error) << c.values.back();
    if (parsed) {
      EXPECT_EQ(line.options.extensions, c.list) << c.values.back();
    }
  }
}

TEST(CountLinesTest, SaysOneFileAndManyFiles) {
  RunSummary one;
  one.renamed = one.notTaken = one.unreadable = one.notOnOneLine = 1;
  one.alreadyNamed = one.nameTaken = 1;
  EXPECT_EQ(RunCountLines(one, false),
            "1 file renamed, 1 already named, 1 left alone: the name was taken\n"
            "1 file had no capture time and was named after its last-write time\n"
            "1 file left alone: its time could not be read\n"
            "1 file left alone: its path holds a line break\n");
  RunSummary many;
  many.renamed = 0;
  many.notTaken = many.unreadable = 2;
  EXPECT_EQ(RunCountLines(many, false),
            "0 files renamed\n"
            "2 files had no capture time and were named after their last-write time\n"
            "2 files left alone: their time could not be read\n");
  EXPECT_EQ(RunCountLines(one, true),
            "1 already named, 1 left alone: the name was taken\n"
            "1 file had no capture time and was named after its last-write time\n"
            "1 file left alone: its time could not be read\n"
            "1 file left alone: its path holds a line break\n");

  ResetSummary reset;
  reset.restored = reset.failed = reset.notFound = reset.damaged = 1;
  EXPECT_EQ(ResetCountLine(reset), "1 file restored, 1 could not be restored, 1 not found and kept "
                                   "in the log for a later Reset, 1 damaged log line left alone\n");
  reset.restored = 3;
  reset.damaged = 2;
  EXPECT_EQ(ResetCountLine(reset), "3 files restored, 1 could not be restored, 1 not found and kept "
                                   "in the log for a later Reset, 2 damaged log lines left alone\n");
  EXPECT_EQ(ResetCountLine(ResetSummary{}), "0 files restored\n");
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
  EXPECT_FALSE(line.options.companions);
  ASSERT_TRUE(ParseCommandLine({"run", "f", "--all", "--taken", "--companions"}, &line, &error));
  EXPECT_EQ(line.options.timeSource, TimeSource::kTaken);
  EXPECT_TRUE(line.options.companions);
  EXPECT_FALSE(ParseCommandLine({"run", "f", "--all", "--taken", "--creation"}, &line, &error));
  EXPECT_EQ(error, "give either --creation or --taken, not both");
}

TEST(CommandLineTest, TakesTheNumberOfJobsForARunAndAReset) {
  const struct {
    std::vector<std::string> args;
    int jobs;  // -1: refused
  } cases[] = {
      {{"run", "f", "--all"}, 0},
      {{"run", "f", "--all", "--jobs", "1"}, 1},
      {{"run", "f", "--all", "--jobs=64"}, 64},
      {{"reset", "--jobs", "8"}, 8},
      {{"reset", "--jobs", "0"}, -1},
      {{"reset", "--jobs", "65"}, -1},
      {{"run", "f", "--all", "--jobs", "4x"}, -1},
      {{"run", "f", "--all", "--jobs"}, -1},
  };
  for (const auto& c : cases) {
    CommandLine line;
    std::string error;
    const bool parsed = ParseCommandLine(c.args, &line, &error);
    EXPECT_EQ(parsed, c.jobs >= 0) << c.args.back();
    if (parsed) {
      EXPECT_EQ(line.jobs, c.jobs) << c.args.back();
    } else {
      EXPECT_NE(error.find("--jobs"), std::string::npos) << error;
    }
  }
}

}  // namespace
}  // namespace tokiren
