// Cases of companions and bursts that a run must get right: a group cut off by a kill, a sidecar
// of one of two names alike but for case, an entry longer than a name's last part, and a preview
// reading capture times that is cancelled.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "platform/forwarding_file_system.h"
#include "tests/engine/engine_test_support.h"
#include "tests/support/fake_capture_times.h"

namespace tokiren {
namespace {

using testing::Checked;
using testing::FakeCaptureTimes;
using testing::JobOnTree;
using testing::LocalTimestamp;
using testing::RecordingSink;
using testing::ScopedTimeZone;
using testing::TempTree;

class CompanionsFaultsTest : public ::testing::Test {
 protected:
  ScopedTimeZone zone_{"Asia/Tokyo"};
  TempTree tree_;
  const std::time_t stamp42_ = LocalTimestamp(2016, 8, 30, 12, 48, 42);
};

// The log's lines as (old name, new name), names only.
std::vector<std::pair<std::string, std::string>> LoggedNames(const std::string& log) {
  std::vector<std::pair<std::string, std::string>> lines;
  for (size_t begin = 0, end; (end = log.find(kLogLineEnd, begin)) != std::string::npos;
       begin = end + kLogLineEnd.size()) {
    const std::string line = log.substr(begin, end - begin);
    const size_t as = line.find(kLogSeparator);
    const std::string oldPath = line.substr(0, as);
    const std::string newPath = line.substr(as + kLogSeparator.size());
    lines.emplace_back(oldPath.substr(oldPath.find_last_of("/\\") + 1),
                       newPath.substr(newPath.find_last_of("/\\") + 1));
  }
  return lines;
}

// A run killed between the renames of one group leaves its lines in the log; the next run, which
// ends normally, must not leave that group split (nor move the member already renamed away from
// the stamp its group was given).
TEST_F(CompanionsFaultsTest, AGroupCutOffByAKillIsNotLeftSplitByTheNextRun) {
  JobOnTree fixture(tree_, Checked({".JPG", ".CR2"}));
  fixture.job.options.companions = true;
  tree_.Write("photos/IMG_0001.CR2", "raw", stamp42_ + 3);
  tree_.Write("photos/IMG_0001.JPG", "jpeg", stamp42_);
  ASSERT_EQ(fixture.job.Run().renamed, 2u);
  const auto lines = LoggedNames(tree_.Read("app/tokiren_log.txt"));
  ASSERT_EQ(lines.size(), 2u);
  // As if killed after the group's first rename: the second never happened.
  ASSERT_EQ(std::rename((tree_ / ("photos/" + lines[1].second)).c_str(),
                        (tree_ / ("photos/" + lines[1].first)).c_str()),
            0);
  tree_.Write("app/tokiren_log.run", "");

  const RunSummary summary = fixture.job.Run();
  EXPECT_TRUE(summary.error.ok());
  EXPECT_EQ(tree_.Names("photos"),
            (std::vector<std::string>{"20160830124842.CR2", "20160830124842.JPG"}));
  EXPECT_EQ(fixture.job.Reset().restored, 2u);
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"IMG_0001.CR2", "IMG_0001.JPG"}));
}

// An entry longer than a name's part after its last dot (".TAR.GZ") would give the member a new
// name whose part before its last dot is no longer the group's stamp: such a file is named alone,
// and the next run renames nothing.
TEST_F(CompanionsFaultsTest, AFileNamedWithAnEntryPastItsLastDotIsNamedAloneAndStays) {
  JobOnTree fixture(tree_, Checked({".TAR.GZ", ".THM"}));
  fixture.job.options.companions = true;
  tree_.Write("photos/x.tar.gz", "archive", stamp42_ + 8);
  tree_.Write("photos/x.tar.thm", "thumbnail", stamp42_);
  ASSERT_EQ(fixture.job.Run().renamed, 2u);
  ASSERT_EQ(tree_.Names("photos"),
            (std::vector<std::string>{"20160830124842.THM", "20160830124850.TAR.GZ"}));
  EXPECT_EQ(fixture.job.Run().renamed, 0u);  // the same run again: nothing
}

// Records renames, folder syncs and cuts of the log, in order; the rename of one name fails.
class RecordingFileSystem : public ForwardingFileSystem {
 public:
  class Writer : public FileReplacement {
   public:
    Writer(std::unique_ptr<FileReplacement> base, std::vector<std::string>& events)
        : base_(std::move(base)), events_(events) {}
    ErrorCode Append(std::string_view bytes) override { return base_->Append(bytes); }
    ErrorCode Sync() override { return base_->Sync(); }
    ErrorCode Truncate(std::uint64_t size) override {
      events_.push_back("cut the log");
      return base_->Truncate(size);
    }
    ErrorCode Commit() override { return base_->Commit(); }

   private:
    std::unique_ptr<FileReplacement> base_;
    std::vector<std::string>& events_;
  };

  ErrorCode RenameNoReplace(const std::string& from, const std::string& to) override {
    if (NameOf(from) == failing) return kPathFileAccessError;
    events.push_back("rename " + std::string(NameOf(from)) + " to " + std::string(NameOf(to)));
    return base_.RenameNoReplace(from, to);
  }
  ErrorCode SyncFolder(const std::string& folder) override {
    events.push_back("sync " + folder);
    return base_.SyncFolder(folder);
  }
  ErrorCode CreateReplacement(const std::string& path,
                              std::unique_ptr<FileReplacement>* writer) override {
    std::unique_ptr<FileReplacement> base;
    const ErrorCode error = base_.CreateReplacement(path, &base);
    if (error.ok()) *writer = std::make_unique<Writer>(std::move(base), events);
    return error;
  }

  std::string failing;
  std::vector<std::string> events;
};

// A group taken back after one of its renames failed: the renames back reach the disk before the
// lines of the renames they undo leave the log (as Reset syncs a folder before it drops a line),
// so a power cut in between never leaves a renamed file without its line.
TEST_F(CompanionsFaultsTest, AGroupTakenBackIsOnTheDiskBeforeItsLinesLeaveTheLog) {
  RecordingFileSystem fileSystem;
  fileSystem.failing = "IMG_0001.xmp";
  JobOnTree fixture(tree_, Checked({".JPG", ".CR2"}), fileSystem);
  fixture.job.options.companions = true;
  tree_.Write("photos/IMG_0001.CR2", "raw", stamp42_);
  tree_.Write("photos/IMG_0001.JPG", "jpeg", stamp42_);
  tree_.Write("photos/IMG_0001.xmp", "xmp", stamp42_);
  EXPECT_EQ(fixture.job.Run().error, kPathFileAccessError);
  ASSERT_EQ(tree_.Names("photos"),
            (std::vector<std::string>{"IMG_0001.CR2", "IMG_0001.JPG", "IMG_0001.xmp"}));
  const std::vector<std::string>& events = fileSystem.events;
  const auto lastBack =
      std::find(events.rbegin(), events.rend(), "rename 20160830124842.CR2 to IMG_0001.CR2");
  ASSERT_NE(lastBack, events.rend());
  const auto cut = std::find(lastBack.base(), events.end(), "cut the log");
  ASSERT_NE(cut, events.end());
  const std::string photos = fixture.job.SelectedPath;
  EXPECT_NE(std::find(lastBack.base(), cut, "sync " + photos), cut)
      << "no sync of " << photos << " between the last rename back and the cut of the log";
}

class CancellingSink : public RecordingSink {
 public:
  bool Cancelled() override { return true; }
};

// Companions off: a preview reading capture times is cancelled between files, as it always was,
// before the next file's time is read; and while a folder's times are read, the progress moves.
TEST_F(CompanionsFaultsTest, APreviewReadingCaptureTimesStopsAtOnceAndShowsProgress) {
  constexpr int kFiles = 300;
  for (int i = 0; i < kFiles; ++i) {
    tree_.Write("photos/IMG_" + std::to_string(10000 + i) + ".JPG", "", stamp42_ + i);
  }
  {
    CancellingSink sink;
    RenameJob job(SystemFileSystem(), sink);
    job.SelectedPath = tree_.MakeFolder("photos") + kPathSeparator;
    job.AppPath = tree_.MakeFolder("app") + kPathSeparator;
    job.options.extensions = Checked({".JPG"});
    job.options.timeSource = TimeSource::kTaken;
    FakeCaptureTimes captureTimes([](const FileTimes&) { return std::optional<CapturedMoment>(); });
    job.captureTimes = &captureTimes;
    const RunSummary summary = job.Run(RunMode::kDryRun);
    EXPECT_TRUE(summary.cancelled);
    EXPECT_EQ(captureTimes.taken.size(), 0u);  // not one time read after the cancel
  }
  {
    RecordingSink sink;
    RenameJob job(SystemFileSystem(), sink);
    job.SelectedPath = tree_.MakeFolder("photos") + kPathSeparator;
    job.AppPath = tree_.MakeFolder("app") + kPathSeparator;
    job.options.extensions = Checked({".JPG"});
    job.options.timeSource = TimeSource::kTaken;
    // How many progress reports of renaming the sink had when each file was handed over.
    std::vector<size_t> progressAtRead;
    FakeCaptureTimes captureTimes([&](const FileTimes&) {
      size_t renaming = 0;
      for (const auto& report : sink.progress) {
        if (report.phase == EngineSink::Phase::kRenaming) ++renaming;
      }
      progressAtRead.push_back(renaming);
      return std::optional<CapturedMoment>();
    });
    job.captureTimes = &captureTimes;
    ASSERT_TRUE(job.Run(RunMode::kDryRun).error.ok());
    ASSERT_EQ(progressAtRead.size(), static_cast<size_t>(kFiles));
    EXPECT_GT(progressAtRead.back(), 0u);  // moved before the last file was read
  }
}

}  // namespace
}  // namespace tokiren
