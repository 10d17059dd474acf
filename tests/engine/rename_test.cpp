#include <gtest/gtest.h>

#include <cstdio>

#include "engine/engine.h"
#include "tests/engine/engine_test_support.h"
#include "tests/support/fake_capture_times.h"
#include "platform/forwarding_file_system.h"

namespace tokiren {
namespace {

using testing::Checked;
using testing::FakeCaptureTimes;
using testing::JobOnTree;
using testing::LocalTimestamp;
using testing::ScopedTimeZone;
using testing::TempTree;

class RenameTest : public ::testing::Test {
 protected:
  ScopedTimeZone zone_{"Asia/Tokyo"};
  TempTree tree_;
  const std::time_t stamp42_ = LocalTimestamp(2016, 8, 30, 12, 48, 42);
};

TEST_F(RenameTest, RenamesMatchingFilesAndLogsEachRenameExactly) {
  JobOnTree fixture(tree_, Checked({".JPG"}));
  tree_.Write("photos/a.jpg", "a", stamp42_);
  tree_.Write("photos/b.png", "b", stamp42_);
  tree_.Write("photos/x.jpg.txt", "", stamp42_);
  tree_.Write("photos/sub/c.Jpg", "c", LocalTimestamp(2017, 1, 1, 0, 0, 5));
  const RunSummary summary = fixture.job.Run();
  EXPECT_TRUE(summary.error.ok());
  EXPECT_EQ(summary.renamed, 2u);
  EXPECT_TRUE(fixture.sink.errors.empty());
  EXPECT_EQ(tree_.Names("photos"),
            (std::vector<std::string>{"20160830124842.JPG", "b.png", "sub", "x.jpg.txt"}));
  EXPECT_EQ(tree_.Read("photos/20160830124842.JPG"), "a");
  EXPECT_EQ(tree_.Names("photos/sub"), (std::vector<std::string>{"20170101000005.JPG"}));
  const std::string p = fixture.job.SelectedPath;
  EXPECT_EQ(tree_.Read("app/tokiren_log.txt"),
            p + "a.jpg as " + p + "20160830124842.JPG\r\n" +
            p + "sub" + kPathSeparator + "c.Jpg as " + p + "sub" + kPathSeparator + "20170101000005.JPG\r\n");
}

TEST_F(RenameTest, UsesTheNewYearOfTheLocalZone) {
  JobOnTree fixture(tree_, Checked({".JPG"}));
  fixture.job.options.separator = true;
  tree_.Write("photos/a.jpg", "", 1483227000);  // 2016-12-31 23:30 UTC
  ASSERT_TRUE(fixture.job.Run().error.ok());
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"2017_0101_083000.JPG"}));
}

TEST_F(RenameTest, CountsUpATakenNameWhenAsked) {
  JobOnTree fixture(tree_, Checked({".JPG"}));
  tree_.Write("photos/20160830124842.JPG", "has its name", stamp42_);
  tree_.Write("photos/a.jpg", "a", stamp42_);
  tree_.Write("photos/b.jpg", "b", stamp42_);
  const RunSummary summary = fixture.job.Run();
  EXPECT_EQ(summary.renamed, 2u);
  EXPECT_EQ(tree_.Read("photos/20160830124842.JPG"), "has its name");
  EXPECT_EQ(tree_.Read("photos/20160830124843.JPG"), "a");
  EXPECT_EQ(tree_.Read("photos/20160830124844.JPG"), "b");
  const std::string p = fixture.job.SelectedPath;
  EXPECT_EQ(tree_.Read("app/tokiren_log.txt"),  // nothing for the file that has its name
            p + "a.jpg as " + p + "20160830124843.JPG\r\n" +
            p + "b.jpg as " + p + "20160830124844.JPG\r\n");
}

TEST_F(RenameTest, LeavesATakenNameAloneWhenNotCountingUp) {
  JobOnTree fixture(tree_, Checked({".JPG"}));
  fixture.job.options.countUp = false;
  tree_.Write("photos/a.jpg", "a", stamp42_);
  tree_.Write("photos/b.jpg", "b", stamp42_);
  EXPECT_EQ(fixture.job.Run().renamed, 1u);
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"20160830124842.JPG", "b.jpg"}));
}

TEST_F(RenameTest, AllFilesEntryRenamesEveryFileKeepingItsOwnExtensionWhereverItStands) {
  std::vector<ExtensionEntry> list{{".", false}, {".JPG", true}, {".*", true}, {".TAR.GZ", true}};
  JobOnTree fixture(tree_, list);
  tree_.Write("photos/a.png", "", stamp42_);
  tree_.Write("photos/b", "", LocalTimestamp(2016, 8, 30, 12, 48, 50));
  tree_.Write("photos/c.jpg", "", stamp42_);  // of one second with a.png: no collision
  tree_.Write("photos/d.tar.gz", "", stamp42_);
  EXPECT_EQ(fixture.job.Run().renamed, 4u);
  EXPECT_EQ(tree_.Names("photos"),
            (std::vector<std::string>{"20160830124842.JPG", "20160830124842.PNG",
                                      "20160830124842.TAR.GZ", "20160830124850"}));
}

TEST_F(RenameTest, ARunThatRenamesNothingKeepsTheLastRunsLog) {
  JobOnTree fixture(tree_, Checked({".JPG"}));
  tree_.Write("photos/a.jpg", "a", stamp42_);
  ASSERT_EQ(fixture.job.Run().renamed, 1u);
  const std::string log = tree_.Read("app/tokiren_log.txt");
  EXPECT_EQ(fixture.job.Run().renamed, 0u);  // the same job again
  fixture.job.options.extensions = {{".*", false}, {".JPG", false}};  // nothing checked
  EXPECT_EQ(fixture.job.Run().renamed, 0u);
  EXPECT_EQ(tree_.Read("app/tokiren_log.txt"), log);
  EXPECT_EQ(fixture.job.Reset().restored, 1u);
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"a.jpg"}));
}

TEST_F(RenameTest, KeepsTheLinesOfARunThatNeverEndedAheadOfItsOwn) {
  JobOnTree fixture(tree_, Checked({".JPG"}));
  tree_.Write("photos/a.jpg", "a", stamp42_);
  tree_.Write("photos/b.jpg", "b", stamp42_ + 1);
  ASSERT_EQ(fixture.job.Run().renamed, 2u);
  // As if killed after its first rename: the second never happened.
  ASSERT_EQ(std::rename((tree_ / "photos/20160830124843.JPG").c_str(),
                   (tree_ / "photos/b.jpg").c_str()), 0);
  tree_.Write("app/tokiren_log.run", "");
  const std::string killed = tree_.Read("app/tokiren_log.txt");
  tree_.Write("photos/c.jpg", "c", stamp42_ + 2);
  ASSERT_EQ(fixture.job.Run().renamed, 2u);  // b and c
  const std::string log = tree_.Read("app/tokiren_log.txt");
  EXPECT_EQ(log.substr(0, killed.size()), killed);
  EXPECT_FALSE(tree_.Exists("app/tokiren_log.run"));
  EXPECT_EQ(fixture.job.Reset().restored, 3u);
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"a.jpg", "b.jpg", "c.jpg"}));
}

// Times are read from a table: one file's cannot be read, another's creation differs.
class TimesFileSystem : public ForwardingFileSystem {
 public:
  ErrorCode GetFileTimes(const std::string& path, FileTimes* times) override {
    if (NameOf(path) == "unreadable.jpg") return kPathFileAccessError;
    const ErrorCode error = base_.GetFileTimes(path, times);
    times->creation = LocalTime{2001, 2, 3, 4, 5, 6};
    return error;
  }
};

TEST_F(RenameTest, SkipsAFileWhoseTimeCannotBeRead) {
  TimesFileSystem fileSystem;
  JobOnTree fixture(tree_, Checked({".JPG"}), fileSystem);
  tree_.Write("photos/a.jpg", "", stamp42_);
  tree_.Write("photos/unreadable.jpg", "", stamp42_);
  EXPECT_EQ(fixture.job.Run().renamed, 1u);
  EXPECT_TRUE(fixture.sink.errors.empty());
  EXPECT_EQ(tree_.Names("photos"),
            (std::vector<std::string>{"20160830124842.JPG", "unreadable.jpg"}));
}

TEST_F(RenameTest, UsesTheCreationTimeWhenChosen) {
  TimesFileSystem fileSystem;
  JobOnTree fixture(tree_, Checked({".JPG"}), fileSystem);
  fixture.job.options.timeSource = TimeSource::kCreation;
  tree_.Write("photos/a.jpg", "", stamp42_);
  EXPECT_EQ(fixture.job.Run().renamed, 1u);
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"20010203040506.JPG"}));
}

// Another program takes the target name between the existence test and the rename.
class RacingFileSystem : public ForwardingFileSystem {
 public:
  ErrorCode RenameNoReplace(const std::string& from, const std::string& to) override {
    testing::TempTree::WriteFile(to, "someone else's");
    return base_.RenameNoReplace(from, to);
  }
};

TEST_F(RenameTest, NeverReplacesATargetThatAppearsBeforeTheRename) {
  RacingFileSystem fileSystem;
  JobOnTree fixture(tree_, Checked({".JPG"}), fileSystem);
  tree_.Write("photos/a.jpg", "mine", stamp42_);
  tree_.Write("photos/b.jpg", "mine too", stamp42_ + 1);
  const RunSummary summary = fixture.job.Run();
  EXPECT_EQ(summary.error, kFileAlreadyExists);
  EXPECT_EQ(summary.renamed, 0u);
  EXPECT_EQ(tree_.Read("photos/a.jpg"), "mine");
  EXPECT_EQ(tree_.Read("photos/20160830124842.JPG"), "someone else's");
  EXPECT_TRUE(tree_.Exists("photos/b.jpg"));  // the pass ended at the first failure
  const std::string p = fixture.job.SelectedPath;
  ASSERT_EQ(fixture.sink.errors.size(), 1u);
  EXPECT_EQ(fixture.sink.errors[0].text,
            "同名のファイルが存在します。\r\n" + p + "a.jpg\r" + p + "20160830124842.JPG");
  EXPECT_EQ(fixture.sink.errors[0].title, "処理を中止します。");
}

TEST_F(RenameTest, AFailedRenameStopsThePassAndLeavesOnlyTheLinesOfRenamesMade) {
  JobOnTree fixture(tree_, Checked({".JPG"}));
  tree_.Write("photos/a.jpg", "a", stamp42_);
  tree_.Write("photos/b.jpg", "b", stamp42_ + 1);
  tree_.Write("photos/c.jpg", "c", stamp42_ + 5);
  tree_.MakeFolder("photos/20160830124843.JPG");  // b's name, held by a folder
  EXPECT_EQ(fixture.job.Run().error, kFileAlreadyExists);
  EXPECT_EQ(tree_.Read("photos/b.jpg"), "b");
  EXPECT_EQ(tree_.Read("photos/c.jpg"), "c");
  const std::string p = fixture.job.SelectedPath;
  EXPECT_EQ(tree_.Read("app/tokiren_log.txt"), p + "a.jpg as " + p + "20160830124842.JPG\r\n");
  EXPECT_FALSE(tree_.Exists("app/tokiren_log.run"));
}

TEST_F(RenameTest, ARunWhoseFirstRenameFailsKeepsTheLastRunsLog) {
  JobOnTree fixture(tree_, Checked({".JPG"}));
  tree_.Write("photos/a.jpg", "a", stamp42_);
  ASSERT_EQ(fixture.job.Run().renamed, 1u);
  const std::string lastLog = tree_.Read("app/tokiren_log.txt");
  tree_.Write("photos/b.jpg", "b", stamp42_ + 1);
  tree_.MakeFolder("photos/20160830124843.JPG");
  EXPECT_EQ(fixture.job.Run().error, kFileAlreadyExists);
  EXPECT_EQ(tree_.Read("app/tokiren_log.txt"), lastLog);
  EXPECT_EQ(tree_.Names("app"), (std::vector<std::string>{"tokiren_log.lock", "tokiren_log.txt"}));
  EXPECT_EQ(fixture.job.Reset().restored, 1u);
  EXPECT_EQ(tree_.Read("photos/a.jpg"), "a");
}

// A disk that fills up when the log is written.
class FullDiskFileSystem : public ForwardingFileSystem {
 public:
  class FullWriter : public FileReplacement {
   public:
    ErrorCode Append(std::string_view) override { return kDiskFull; }
    ErrorCode Sync() override { return kSuccess; }
    ErrorCode Truncate(std::uint64_t) override { return kSuccess; }
    ErrorCode Commit() override { return kSuccess; }
  };
  ErrorCode CreateReplacement(const std::string&,
                              std::unique_ptr<FileReplacement>* writer) override {
    *writer = std::make_unique<FullWriter>();
    return kSuccess;
  }
};

TEST_F(RenameTest, NoRenameFollowsALineThatDidNotReachTheDisk) {
  FullDiskFileSystem fileSystem;
  JobOnTree fixture(tree_, Checked({".JPG"}), fileSystem);
  tree_.Write("photos/a.jpg", "", stamp42_);
  const RunSummary summary = fixture.job.Run();
  EXPECT_EQ(summary.error, kDiskFull);
  ASSERT_EQ(fixture.sink.errors.size(), 1u);
  EXPECT_EQ(fixture.sink.errors[0].text.substr(0, fixture.sink.errors[0].text.find('\r')),
            "ディスクの空き容量が不足しています。");
  // The command line names the log, not the photo, as what could not be written.
  EXPECT_EQ(fixture.sink.errors[0].detail.find("cannot create the log " + fixture.logPath), 0u);
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"a.jpg"}));
}

// Every name of the folder is taken, though its listing does not show them: a folder where case
// does not count and a name is not ASCII, whose names the run asks the file system about rather
// than reading them from the listing.
class CrowdedFileSystem : public ForwardingFileSystem {
 public:
  bool IsCaseInsensitiveFolder(const std::string&, std::string_view) override { return true; }
  bool FileExists(const std::string& path) override {
    if (path.find(kPathSeparator + std::string("photos") + kPathSeparator) == std::string::npos) return base_.FileExists(path);
    ++tests;
    return true;
  }
  int tests = 0;
};

TEST_F(RenameTest, GivesUpCountingUpOnceEveryNameWasTried) {
  CrowdedFileSystem fileSystem;
  JobOnTree fixture(tree_, Checked({".JPG"}), fileSystem);
  tree_.Write("photos/a.jpg", "", stamp42_);
  tree_.Write("photos/\xc3\xa9t\xc3\xa9.txt", "", stamp42_);
  EXPECT_TRUE(fixture.job.Run().error.ok());
  EXPECT_EQ(fileSystem.tests, 100000);
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"a.jpg", "\xc3\xa9t\xc3\xa9.txt"}));
}

// A folder where case does not count, as a card's or Windows' are, counted by the existence tests
// asked.
class FoldingFileSystem : public ForwardingFileSystem {
 public:
  bool IsCaseInsensitiveFolder(const std::string&, std::string_view) override { return true; }
  bool FileExists(const std::string& path) override {
    if (path.find(kPathSeparator + std::string("photos") + kPathSeparator) != std::string::npos) {
      ++tests;
    }
    return base_.FileExists(path);
  }
  int tests = 0;
};

TEST_F(RenameTest, AFolderWhereCaseDoesNotCountIsReadFromItsListingWhileItsNamesAreAscii) {
  FoldingFileSystem fileSystem;
  JobOnTree fixture(tree_, Checked({".JPG"}), fileSystem);
  tree_.Write("photos/20160830124842.jpg", "named already, in its folding", stamp42_);
  tree_.Write("photos/a.jpg", "a", stamp42_);
  EXPECT_TRUE(fixture.job.Run().error.ok());
  EXPECT_EQ(fileSystem.tests, 0);
  EXPECT_EQ(tree_.Read("photos/20160830124843.JPG"), "a");
}

TEST_F(RenameTest, ADryRunPlansExactlyWhatTheRunDoesAndTouchesNothing) {
  JobOnTree fixture(tree_, Checked({".JPG", ".PNG"}));
  for (int i = 0; i < 30; ++i) {
    const std::string name = "photos/" + std::string(i % 3 ? "sub/" : "") + "f" + std::to_string(i);
    tree_.Write(name + (i % 2 ? ".jpg" : ".PNG"), "", stamp42_ + i / 4);
  }
  tree_.Write("photos/20160830124843.JPG", "", stamp42_);  // a taken name to count past
  const std::vector<std::string> before = tree_.Names("photos");
  const RunSummary planned = fixture.job.Run(RunMode::kDryRun);
  EXPECT_EQ(tree_.Names("photos"), before);
  EXPECT_FALSE(tree_.Exists("app/tokiren_log.txt"));
  const RunSummary done = fixture.job.Run();
  EXPECT_EQ(planned.renamed, done.renamed);
  EXPECT_EQ(done.renamed, 31u);  // the taken name itself is counted up as well
  EXPECT_EQ(fixture.sink.planned, tree_.Read("app/tokiren_log.txt"));
}

TEST_F(RenameTest, FindsAFolderReplacedSinceTheLastJob) {
  JobOnTree fixture(tree_, Checked({".JPG"}));
  tree_.Write("photos/sub/a.jpg", "first", stamp42_);
  ASSERT_EQ(fixture.job.Run().renamed, 1u);
  ASSERT_EQ(std::rename((tree_ / "photos/sub").c_str(), (tree_ / "old-sub").c_str()), 0);
  tree_.Write("photos/sub/b.jpg", "second", stamp42_ + 1);
  EXPECT_EQ(fixture.job.Run().renamed, 1u);
  EXPECT_EQ(tree_.Names("photos/sub"), (std::vector<std::string>{"20160830124843.JPG"}));
  EXPECT_EQ(fixture.job.Reset().restored, 1u);
  EXPECT_EQ(tree_.Names("photos/sub"), (std::vector<std::string>{"b.jpg"}));
  EXPECT_EQ(tree_.Names("old-sub"), (std::vector<std::string>{"20160830124842.JPG"}));
}

TEST_F(RenameTest, CountsUpAsOneNameAtATimeWouldWhenNamesAreFreedOrKept) {
  JobOnTree fixture(tree_, Checked({".JPG"}));
  tree_.Write("photos/20160830124843.JPG", "keeps 43", stamp42_);  // its own name, counted up
  tree_.Write("photos/20160830124845.JPG", "frees 45", LocalTimestamp(2016, 8, 30, 12, 48, 30));
  for (const char* name : {"0a.jpg", "0b.jpg", "0c.jpg", "0d.jpg", "0e.jpg", "a.jpg"}) {
    tree_.Write(std::string("photos/") + name, name, stamp42_);
  }
  ASSERT_TRUE(fixture.job.Run().error.ok());
  // 0a-0e count up past the taken 43 and 45 to 42, 44, 46, 47, 48; 43 then stays where it is,
  // 45 is freed, and a.jpg takes it.
  const std::pair<const char*, const char*> expected[] = {
      {"42", "0a.jpg"}, {"44", "0b.jpg"}, {"46", "0c.jpg"},   {"47", "0d.jpg"},
      {"48", "0e.jpg"}, {"43", "keeps 43"}, {"45", "a.jpg"}, {"30", "frees 45"}};
  for (const auto& [second, contents] : expected) {
    EXPECT_EQ(tree_.Read(std::string("photos/201608301248") + second + ".JPG"), contents);
  }
}

TEST_F(RenameTest, ThousandsOfFilesOfOneSecondGetConsecutiveNames) {
  JobOnTree fixture(tree_, Checked({".JPG"}));
  constexpr int kFiles = 3000;
  for (int i = 0; i < kFiles; ++i) tree_.Write("photos/IMG_" + std::to_string(10000 + i) + ".jpg",
                                               std::to_string(i), stamp42_);
  ASSERT_EQ(fixture.job.Run().renamed, static_cast<std::uint64_t>(kFiles));
  EXPECT_EQ(tree_.Read("photos/20160830124842.JPG"), "0");
  EXPECT_EQ(tree_.Read("photos/201608301" + std::to_string(24842 + kFiles - 1) + ".JPG"),
            std::to_string(kFiles - 1));
  EXPECT_EQ(fixture.job.Run().renamed, 0u);  // the same job again renames nothing
}

TEST_F(RenameTest, NeverRenamesTheProgramsOwnFilesInTheTree) {
  JobOnTree fixture(tree_, Checked({}, true));  // ".*": every file
  fixture.job.AppPath = tree_.MakeFolder("photos/tools") + kPathSeparator;
  fixture.job.ProtectedFiles = {fixture.job.AppPath + "tokiren", fixture.job.AppPath + "tokiren-cli"};
  tree_.Write("photos/tools/tokiren", ".JPG\r\n", stamp42_);
  tree_.Write("photos/tools/tokiren-cli", "program", stamp42_);
  tree_.Write("photos/tools/tokiren_log.txt.Ab12Cd", "a temporary file", stamp42_);
  tree_.Write("photos/a.jpg", "a", stamp42_);
  ASSERT_EQ(fixture.job.Run().renamed, 1u);
  ASSERT_EQ(fixture.job.Run().renamed, 0u);  // the log made by the first run stays too
  EXPECT_EQ(tree_.Names("photos/tools"),
            (std::vector<std::string>{"tokiren", "tokiren-cli", "tokiren_log.lock",
                                      "tokiren_log.txt", "tokiren_log.txt.Ab12Cd"}));
  EXPECT_EQ(fixture.job.Reset().restored, 1u);
  EXPECT_EQ(tree_.Read("photos/a.jpg"), "a");
}

TEST_F(RenameTest, ANameTakenByTheProgramsOwnFileIsCountedUpPast) {
  JobOnTree fixture(tree_, Checked({".JPG"}));
  // A settings file the user happened to name like a stamp, in the tree: the collection leaves it
  // out, yet its name is taken.
  fixture.job.ProtectedFiles = {fixture.job.SelectedPath + "20160830124842.JPG"};
  tree_.Write("photos/20160830124842.JPG", "own", stamp42_ + 60);
  tree_.Write("photos/a.jpg", "a", stamp42_);
  const RunSummary summary = fixture.job.Run();
  EXPECT_TRUE(summary.error.ok()) << summary.error.number;
  EXPECT_EQ(tree_.Read("photos/20160830124842.JPG"), "own");
  EXPECT_EQ(tree_.Read("photos/20160830124843.JPG"), "a");
}

// A photo's capture time, known to the fake reader by the photo's own last-write time.
std::optional<CapturedMoment> ShotsOnly(const FileTimes& times) {
  if (times.lastWrite == LocalTime{2016, 8, 30, 12, 48, 50}) {
    return CapturedMoment{{2013, 5, 26, 16, 5, 9}, false, {}};
  }
  if (times.lastWrite == LocalTime{2016, 8, 30, 12, 48, 51}) {  // a movie: its header's UTC
    return CapturedMoment{{2013, 12, 31, 23, 30, 0}, true, {}};
  }
  return std::nullopt;
}

TEST_F(RenameTest, TakenNamesPhotosAfterTheirCaptureTimeAndTheRestAfterTheirLastWrite) {
  JobOnTree fixture(tree_, Checked({".JPG", ".MOV"}));
  FakeCaptureTimes captureTimes(ShotsOnly);
  captureTimes.readAhead = 2;
  fixture.job.captureTimes = &captureTimes;
  fixture.job.options.timeSource = TimeSource::kTaken;
  tree_.Write("photos/shot.jpg", "", LocalTimestamp(2016, 8, 30, 12, 48, 50));
  tree_.Write("photos/clip.mov", "", LocalTimestamp(2016, 8, 30, 12, 48, 51));
  tree_.Write("photos/plain.jpg", "", stamp42_);
  tree_.Write("photos/sub/later.jpg", "", stamp42_);
  tree_.Write("photos/notes.txt", "", stamp42_);
  const RunSummary summary = fixture.job.Run();
  EXPECT_EQ(summary.renamed, 4u);
  EXPECT_EQ(summary.notTaken, 2u);
  // The movie's UTC moment is local time in Tokyo: the next year's first morning.
  EXPECT_EQ(tree_.Names("photos"),
            (std::vector<std::string>{"20130526160509.JPG", "20140101083000.MOV",
                                      "20160830124842.JPG", "notes.txt", "sub"}));
  EXPECT_EQ(tree_.Names("photos/sub"), (std::vector<std::string>{"20160830124842.JPG"}));
  // Every file opened was handed over once and taken back in order, never more at once than the
  // reader may hold.
  EXPECT_EQ(captureTimes.started, 1);
  EXPECT_EQ(captureTimes.submitted, (std::vector<std::uint64_t>{0, 1, 2, 3}));
  EXPECT_EQ(captureTimes.taken, captureTimes.submitted);
  EXPECT_LE(captureTimes.mostHeld, 2u);
}

TEST_F(RenameTest, TakenRefusesToRunWhenNoReaderCanStart) {
  for (const RunMode mode : {RunMode::kRename, RunMode::kDryRun}) {
    JobOnTree fixture(tree_, Checked({".JPG"}));
    FakeCaptureTimes captureTimes(ShotsOnly);
    captureTimes.startError = kFileNotFound.Because(kSystemNoCaptureReader);
    captureTimes.startDetail = "cannot start tokiren-media-helper: No such file or directory";
    fixture.job.captureTimes = &captureTimes;
    fixture.job.options.timeSource = TimeSource::kTaken;
    tree_.Write("photos/a.jpg", "a", stamp42_);
    const RunSummary summary = fixture.job.Run(mode);
    EXPECT_EQ(summary.error, kFileNotFound);
    EXPECT_EQ(summary.renamed, 0u);
    EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"a.jpg"}));
    ASSERT_EQ(fixture.sink.errors.size(), 1u);
    EXPECT_EQ(fixture.sink.errors[0].text, kNoCaptureReaderText);
    EXPECT_EQ(fixture.sink.errors[0].detail, captureTimes.startDetail);
    EXPECT_TRUE(captureTimes.submitted.empty());
  }
}

TEST(ErrorDispTest, ShowsTheTablesTextsAndNumbersOtherErrors) {
  struct Case {
    ErrorCode code;
    const char* text;
    const char* title;
  };
  const Case cases[] = {
      {kFileNotFound, "ファイルが見つかりません。", "処理を中止します。"},
      {kFileAlreadyExists, "同名のファイルが存在します。", "処理を中止します。"},
      {kDiskFull, "ディスクの空き容量が不足しています。", "処理を中止します。"},
      {kPathFileAccessError, "パス名が無効です。", "処理を中止します。"},
      {kPathNotFound, "パスが見つかりません。", "処理を中止します。"},
      {kInvalidPropertyValue, "プロパティの値が不正です｡", "処理を中止します。"},
      {ErrorCode::Unlisted(70), "エラー処理で想定されていないエラーです。", "エラー番号は 70です。"},
      {ErrorCode::Unlisted(61), "エラー処理で想定されていないエラーです。", "エラー番号は 61です。"},
  };
  for (const Case& c : cases) {
    const ErrorReport report = MakeErrorReport(c.code, "old\rnew");
    EXPECT_EQ(report.text, std::string(c.text) + "\r\nold\rnew");
    EXPECT_EQ(report.title, c.title);
    EXPECT_EQ(report.where, "old\rnew");
  }
}

}  // namespace
}  // namespace tokiren
