// A run's renames made by several threads, disturbed where it hurts most: the log must hold the
// line of every rename standing on the disk at each moment a kill could come, and what the run
// tells must be what one thread would have told.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <iterator>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "engine/engine.h"
#include "platform/forwarding_file_system.h"
#include "tests/engine/engine_test_support.h"

namespace tokiren {
namespace {

using testing::Checked;
using testing::JobOnTree;
using testing::ScopedTimeZone;
using testing::TempTree;

// How long a disturbed call waits for what it expects the other threads to do: long enough for
// them, short enough that one thread alone (which never does it) only loses that much.
constexpr std::chrono::milliseconds kPatience(1000);

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Records the renames standing on the disk (a rename back takes one away). Each time the log is
// cut back or replaced, checks that the log as it is at that moment (what a kill would leave) holds the line
// of every one of them. Chosen calls can be disturbed.
class WatchingFileSystem : public ForwardingFileSystem {
 public:
  std::string logPath;
  // IsSameFile says this path names another file now, once another rename is made.
  std::string changedPath;
  // The rename from this path fails, once another rename is made unless told not to wait.
  std::string failingFrom;
  bool failAfterAnother = true;
  // The rename from this path fails at once.
  std::string failingAtOnceFrom;
  // The rename from `waitingFrom` waits until a rename from `waitFor` has been tried.
  std::string waitingFrom, waitFor;
  // Once `changedPath` was found replaced, writing the log fails as on a full disk.
  bool diskFullOnceChanged = false;

  // Renames standing whose line the log lacked at a moment it was cut back.
  std::vector<std::string> cutViolations;

  ErrorCode RenameNoReplace(const std::string& from, const std::string& to) override {
    if (from == waitingFrom) WaitFor([&] { return tried_.count(waitFor) != 0; });
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      tried_.insert(from);
    }
    changes_.notify_all();
    if (from == failingAtOnceFrom) return kPathFileAccessError;
    if (from == failingFrom) {
      if (failAfterAnother) WaitFor([&] { return made_ > 0; });
      return kPathFileAccessError;
    }
    const ErrorCode error = ForwardingFileSystem::RenameNoReplace(from, to);
    if (error.ok()) {
      const std::lock_guard<std::mutex> lock(mutex_);
      if (!standing_.erase({to, from})) standing_.insert({from, to});
      ++made_;
    }
    changes_.notify_all();
    return error;
  }

  bool IsSameFile(const std::string& path, const FileId& id) override {
    if (path == changedPath) {
      WaitFor([&] { return made_ > 0; });
      if (diskFullOnceChanged) diskFull_ = true;
      return false;
    }
    return ForwardingFileSystem::IsSameFile(path, id);
  }

  ErrorCode CreateReplacement(const std::string& path,
                              std::unique_ptr<FileReplacement>* writer) override {
    const ErrorCode error = ForwardingFileSystem::CreateReplacement(path, writer);
    if (error.ok() && path == logPath) {
      *writer = std::make_unique<WatchedLog>(*this, std::move(*writer));
    }
    return error;
  }

  // The renames standing whose line the log now lacks.
  std::vector<std::string> MissingLines() {
    const std::string log = ReadWhole(logPath);  // first: a line is written before its rename
    const std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> missing;
    for (const auto& [from, to] : standing_) {
      const std::string line = from + std::string(kLogSeparator) + to + std::string(kLogLineEnd);
      if (log.find(line) == std::string::npos) missing.push_back(from + " -> " + to);
    }
    return missing;
  }

  std::size_t standing() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return standing_.size();
  }

 private:
  class WatchedLog : public FileReplacement {
   public:
    WatchedLog(WatchingFileSystem& fs, std::unique_ptr<FileReplacement> base)
        : fs_(fs), base_(std::move(base)) {}
    ErrorCode Append(std::string_view bytes) override {
      return fs_.diskFull_ ? kDiskFull : base_->Append(bytes);
    }
    ErrorCode Sync() override { return base_->Sync(); }
    ErrorCode Truncate(std::uint64_t size) override {
      const ErrorCode error = base_->Truncate(size);
      for (std::string& missing : fs_.MissingLines()) fs_.cutViolations.push_back(missing);
      return error;
    }
    ErrorCode Commit() override {
      const ErrorCode error = base_->Commit();
      for (std::string& missing : fs_.MissingLines()) fs_.cutViolations.push_back(missing);
      return error;
    }

   private:
    WatchingFileSystem& fs_;
    std::unique_ptr<FileReplacement> base_;
  };

  template <typename Ready>
  void WaitFor(Ready ready) {
    std::unique_lock<std::mutex> lock(mutex_);
    changes_.wait_for(lock, kPatience, ready);
  }

  std::mutex mutex_;
  std::condition_variable changes_;
  std::set<std::string> tried_;                           // renames tried, by old path
  std::set<std::pair<std::string, std::string>> standing_;  // (from, to)
  int made_ = 0;
  std::atomic<bool> diskFull_{false};
};

// The log's lines, each "old as new".
std::multiset<std::string> LinesOf(const std::string& log) {
  std::multiset<std::string> lines;
  std::istringstream in(log);
  for (std::string line; std::getline(in, line, '\n');) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.insert(line);
  }
  return lines;
}

// photos/IMG_<k>.jpg for k in 1 ... 12, each a minute after the one before: IMG_1 is renamed
// first. Their digits differ, so any of them may be renamed beside any other.
class ParallelApplyFaultsTest : public ::testing::TestWithParam<int> {
 protected:
  ParallelApplyFaultsTest() {
    for (int k = 1; k <= 12; ++k) {
      tree_.Write("photos/IMG_" + std::to_string(k) + ".jpg", "", 1472561322 + 60 * k);
    }
    fileSystem_.logPath = fixture_.logPath;
    fixture_.job.jobs = GetParam();
  }

  std::string first() const { return tree_ / "photos/IMG_1.jpg"; }

  // After the run: the log holds exactly the lines of the renames standing.
  void ExpectLogIsTheRenamesStanding() {
    const std::vector<std::string> missing = fileSystem_.MissingLines();
    EXPECT_TRUE(missing.empty()) << missing.size() << " renames standing without their line, as "
                                 << missing.front();
    EXPECT_EQ(LinesOf(ReadWhole(fixture_.logPath)).size(), fileSystem_.standing());
  }

  ScopedTimeZone zone_{"UTC"};
  TempTree tree_;
  WatchingFileSystem fileSystem_;
  JobOnTree fixture_{tree_, Checked({".JPG"}), fileSystem_};
};

// The first file was replaced since its time was read; the files after it are renamed meanwhile.
// Taking its line out of the log must never leave those renames without theirs.
TEST_P(ParallelApplyFaultsTest, AChangedFileWithdrawnWhileOthersAreRenamedNeverDropsTheirLines) {
  fileSystem_.changedPath = first();
  const RunSummary summary = fixture_.job.Run();
  EXPECT_TRUE(summary.error.ok());
  EXPECT_EQ(summary.renamed, 11u);
  EXPECT_EQ(summary.unreadable, 1u);
  EXPECT_TRUE(fileSystem_.cutViolations.empty())
      << fileSystem_.cutViolations.size()
      << " renames standing while the log lacked their line, as "
      << fileSystem_.cutViolations.front();
  ExpectLogIsTheRenamesStanding();
}

// The first rename fails once others are made: cutting the log back to the renames made must
// never leave those made meanwhile without their lines, not even for a moment.
TEST_P(ParallelApplyFaultsTest, CuttingTheLogBackAfterAFailureNeverDropsTheLinesOfRenamesMade) {
  fileSystem_.failingFrom = first();
  const RunSummary summary = fixture_.job.Run();
  EXPECT_FALSE(summary.error.ok());
  EXPECT_TRUE(fileSystem_.cutViolations.empty())
      << fileSystem_.cutViolations.size()
      << " renames standing while the log lacked their line, as "
      << fileSystem_.cutViolations.front();
  ExpectLogIsTheRenamesStanding();
  EXPECT_EQ(summary.renamed, fileSystem_.standing());
}

// The disk is full once the first file is found replaced, so its line cannot be withdrawn while
// the others are renamed: the run fails, but every rename standing keeps its line.
TEST_P(ParallelApplyFaultsTest, AWithdrawalThatCannotWriteTheLogKeepsTheLinesOfRenamesMade) {
  fileSystem_.changedPath = first();
  fileSystem_.diskFullOnceChanged = true;
  const RunSummary summary = fixture_.job.Run();
  EXPECT_FALSE(summary.error.ok());
  const std::vector<std::string> missing = fileSystem_.MissingLines();
  EXPECT_TRUE(missing.empty()) << missing.size() << " renames standing without their line, as "
                               << missing.front();
}

INSTANTIATE_TEST_SUITE_P(Jobs, ParallelApplyFaultsTest, ::testing::Values(1, 4));

// In "photos/" each file of a chain is named after the second after its own, so its new name is
// the old name of the file renamed before it; the first rename of the chain fails. One thread
// stops there and reports that failure alone: no rename waiting for the failed one to free its
// name may be tried. A file renamed before the chain (its name sorts first) holds the run back
// until the rename after the failed one would have been tried.
class FailedChainTest : public ::testing::TestWithParam<int> {};

TEST_P(FailedChainTest, NoRenameToANameTheFailedOneWasToFreeIsTriedOrReported) {
  ScopedTimeZone zone("UTC");
  TempTree tree;
  const std::time_t base = 1472561280;  // 2016-08-30 12:48:00
  const auto chainName = [](int k) { return "photos/2016083012480" + std::to_string(k) + ".JPG"; };
  for (int k = 0; k < 6; ++k) tree.Write(chainName(k + 1), "", base + k);
  tree.Write("photos/0.JPG", "", base - 3600);
  WatchingFileSystem fileSystem;
  JobOnTree fixture(tree, Checked({".JPG"}), fileSystem);
  fileSystem.logPath = fixture.logPath;
  fileSystem.failingFrom = tree / chainName(1);
  fileSystem.failAfterAnother = false;
  fileSystem.waitingFrom = tree / "photos/0.JPG";
  fileSystem.waitFor = tree / chainName(2);
  fixture.job.jobs = GetParam();

  const RunSummary summary = fixture.job.Run();
  EXPECT_FALSE(summary.error.ok());
  EXPECT_EQ(summary.renamed, fileSystem.standing());
  ASSERT_FALSE(fixture.sink.errors.empty());
  EXPECT_EQ(fixture.sink.errors.size(), 1u)
      << "also reported: " << fixture.sink.errors.back().where;
  EXPECT_TRUE(fileSystem.MissingLines().empty());
  EXPECT_EQ(LinesOf(ReadWhole(fixture.logPath)).size(), fileSystem.standing());
}

INSTANTIATE_TEST_SUITE_P(Jobs, FailedChainTest, ::testing::Values(1, 4));


// Two groups of a photo and its sidecar, renamed side by side; each sidecar's rename fails, so
// each photo is renamed back. Nothing stands renamed in the end, so the log keeps no line of
// this run: a group taken back whole leaves no line behind, however many fail at once.
TEST(ParallelGroupsTest, GroupsTakenBackWholeLeaveNoLinesWhicheverFailsFirst) {
  for (const int jobs : {1, 4}) {
    SCOPED_TRACE(std::string("jobs ") + std::to_string(jobs));
    ScopedTimeZone zone("UTC");
    TempTree tree;
    for (int k = 1; k <= 2; ++k) {
      const std::string name = "photos/IMG_000" + std::to_string(k) + ".JPG";
      tree.Write(name, "", 1472561322 + 60 * k);
      tree.Write(name + ".xmp", "", 1472561322 + 60 * k);
    }
    WatchingFileSystem fileSystem;
    JobOnTree fixture(tree, Checked({".JPG"}), fileSystem);
    fixture.job.options.companions = true;
    fixture.job.jobs = jobs;
    fileSystem.logPath = fixture.logPath;
    fileSystem.failingFrom = tree / "photos/IMG_0001.JPG.xmp";
    fileSystem.failAfterAnother = false;
    fileSystem.waitingFrom = fileSystem.failingFrom;
    fileSystem.failingAtOnceFrom = fileSystem.waitFor = tree / "photos/IMG_0002.JPG.xmp";

    const RunSummary summary = fixture.job.Run();
    EXPECT_FALSE(summary.error.ok());
    EXPECT_EQ(summary.renamed, 0u);
    EXPECT_EQ(fileSystem.standing(), 0u);
    EXPECT_EQ(tree.Names("photos"),
              (std::vector<std::string>{"IMG_0001.JPG", "IMG_0001.JPG.xmp", "IMG_0002.JPG",
                                        "IMG_0002.JPG.xmp"}));
    const std::string log = ReadWhole(fixture.logPath);
    EXPECT_TRUE(LinesOf(log).empty()) << log;
  }
}

}  // namespace
}  // namespace tokiren
