// Renames made by several threads where batches mix renames made one after another (while the
// file system's speed is probed) with renames made by threads, files are found replaced, a rename
// fails, or the disk fills: the log must hold the line of every rename standing at each moment a
// kill could come, and the run must tell what one thread would.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/engine.h"
#include "engine/ordered_work.h"
#include "platform/forwarding_file_system.h"
#include "tests/engine/engine_test_support.h"

namespace tokiren {
namespace {

using testing::Checked;
using testing::ScopedTimeZone;
using testing::TempTree;

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::multiset<std::string> LinesOf(const std::string& log) {
  std::multiset<std::string> lines;
  std::istringstream in(log);
  for (std::string line; std::getline(in, line, '\n');) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.insert(line);
  }
  return lines;
}

// Records the renames standing and checks, each time the log is cut back or replaced, that it
// holds the line of every one of them.
class ReviewFileSystem : public ForwardingFileSystem {
 public:
  std::string logPath;
  std::set<std::string> changed;   // IsSameFile says these name another file now
  std::set<std::string> failing;   // renames from these fail at once
  bool diskFullOnceChanged = false;  // once a changed file is found, no byte more is written
  std::chrono::microseconds renameTime{0};  // each rename takes this long (a share)

  std::vector<std::string> cutViolations;

  ErrorCode RenameNoReplace(const std::string& from, const std::string& to) override {
    if (renameTime.count() > 0) std::this_thread::sleep_for(renameTime);
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      threads_.insert(std::this_thread::get_id());
    }
    if (failing.count(from) != 0) return kPathFileAccessError;
    const ErrorCode error = ForwardingFileSystem::RenameNoReplace(from, to);
    if (error.ok()) {
      const std::lock_guard<std::mutex> lock(mutex_);
      if (!standing_.erase({to, from})) standing_.insert({from, to});
    }
    return error;
  }

  bool IsSameFile(const std::string& path, const FileId& id) override {
    if (changed.count(path) != 0) {
      if (diskFullOnceChanged) {
        const std::lock_guard<std::mutex> lock(mutex_);
        diskFull_ = true;
      }
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

  std::vector<std::string> MissingLines() {
    const std::multiset<std::string> lines = LinesOf(ReadWhole(logPath));
    const std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> missing;
    for (const auto& [from, to] : standing_) {
      if (lines.count(from + std::string(kLogSeparator) + to) == 0) {
        missing.push_back(from + " -> " + to);
      }
    }
    return missing;
  }

  // The lines the log would hold for exactly the renames standing.
  std::multiset<std::string> StandingLines() {
    const std::lock_guard<std::mutex> lock(mutex_);
    std::multiset<std::string> lines;
    for (const auto& [from, to] : standing_) lines.insert(from + std::string(kLogSeparator) + to);
    return lines;
  }

  std::size_t threadsThatRenamed() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return threads_.size();
  }

 private:
  class WatchedLog : public FileReplacement {
   public:
    WatchedLog(ReviewFileSystem& fs, std::unique_ptr<FileReplacement> base)
        : fs_(fs), base_(std::move(base)) {}
    ErrorCode Append(std::string_view bytes) override {
      // A full disk takes no more bytes; writing none is no failure.
      return !bytes.empty() && fs_.DiskFull() ? kDiskFull : base_->Append(bytes);
    }
    ErrorCode Sync() override { return base_->Sync(); }
    ErrorCode Truncate(std::uint64_t size) override {
      const ErrorCode error = base_->Truncate(size);
      fs_.Watch();
      return error;
    }
    ErrorCode Commit() override {
      const ErrorCode error = base_->Commit();
      fs_.Watch();
      return error;
    }

   private:
    ReviewFileSystem& fs_;
    std::unique_ptr<FileReplacement> base_;
  };

  bool DiskFull() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return diskFull_;
  }
  void Watch() {
    for (std::string& missing : MissingLines()) cutViolations.push_back(std::move(missing));
  }

  std::mutex mutex_;
  std::set<std::pair<std::string, std::string>> standing_;  // (from, to)
  std::set<std::thread::id> threads_;
  bool diskFull_ = false;
};

// Records every file's outcome, in the order told.
class OutcomeSink : public testing::RecordingSink {
 public:
  void FileDone(const FileReport& report) override {
    outcomes.push_back(std::string(report.name) + " " +
                       std::to_string(static_cast<int>(report.outcome)) + " " +
                       std::string(report.newName));
  }
  std::vector<std::string> outcomes;
};

struct RunResult {
  RunSummary summary;
  std::vector<std::string> outcomes;
  std::size_t errors = 0;
};

// photos/IMG_<kk>.JPG for kk in 01 ... `count` (and an .xmp beside each with companions), each a
// minute after the one before, so they are renamed in that order. `changed` and `failing` hold
// the numbers of files found replaced and whose rename fails (for a group: its .xmp's).
struct Scene {
  int count = 40;
  std::vector<int> changed;
  std::vector<int> failing;
  bool companions = false;
  bool diskFullOnceChanged = false;
};

std::string Name(int k) {
  return (k < 10 ? "photos/IMG_0" : "photos/IMG_") + std::to_string(k) + ".JPG";
}

// Runs the scene with `jobs` (0: as set by default), checking the log at each cut and after the
// run. With more than one thread, the file system is slow, as a share: found slow after the first
// renames (jobs 0), and slow enough for renames to overlap.
RunResult RunScene(const Scene& scene, int jobs) {
  ScopedTimeZone zone("UTC");
  TempTree tree;
  for (int k = 1; k <= scene.count; ++k) {
    tree.Write(Name(k), "", 1472561322 + 60 * k);
    if (scene.companions) tree.Write(Name(k) + ".xmp", "", 1472561322 + 60 * k);
  }
  ReviewFileSystem fileSystem;
  OutcomeSink sink;
  RenameJob job(fileSystem, sink);
  job.SelectedPath = tree.MakeFolder("photos") + kPathSeparator;
  job.AppPath = tree.MakeFolder("app") + kPathSeparator;
  job.options.extensions = Checked({".JPG"});
  job.options.companions = scene.companions;
  job.jobs = jobs;
  fileSystem.logPath = job.AppPath + std::string(kLogFileName);
  for (const int k : scene.changed) fileSystem.changed.insert(tree / Name(k));
  for (const int k : scene.failing) {
    fileSystem.failing.insert(tree / (scene.companions ? Name(k) + ".xmp" : Name(k)));
  }
  fileSystem.diskFullOnceChanged = scene.diskFullOnceChanged;
  if (jobs != 1) fileSystem.renameTime = std::chrono::microseconds(400);

  RunResult result;
  result.summary = job.Run();
  result.outcomes = sink.outcomes;
  result.errors = sink.errors.size();
  EXPECT_TRUE(fileSystem.cutViolations.empty())
      << fileSystem.cutViolations.size() << " renames standing while the log lacked their line, as "
      << fileSystem.cutViolations.front();
  EXPECT_EQ(LinesOf(ReadWhole(fileSystem.logPath)), fileSystem.StandingLines());
  EXPECT_EQ(result.summary.renamed, fileSystem.StandingLines().size());
  if (jobs != 1) {
    // Else the threads were never reached, and the case not tried.
    EXPECT_GT(fileSystem.threadsThatRenamed(), 1u);
  }
  return result;
}

struct Case {
  const char* name;
  Scene scene;
};

// Without a failure, several threads tell exactly what one thread tells; the first 16 renames of
// the default jobs are made one after another while the file system is timed, the rest of the
// batch by threads.
TEST(ParallelReviewTest, FilesFoundReplacedOnEitherSideOfTheProbeAreToldAsByOneThread) {
  const Case cases[] = {
      {"replaced while probing, and after", {40, {3, 25}, {}, false, false}},
      {"replaced while probing only", {40, {5}, {}, false, false}},
      {"replaced after probing only, the last", {40, {40}, {}, false, false}},
      {"a group replaced while probing, and after", {24, {2, 20}, {}, true, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const RunResult one = RunScene(c.scene, 1);
    EXPECT_TRUE(one.summary.error.ok());
    for (const int jobs : {0, 4}) {
      SCOPED_TRACE("jobs " + std::to_string(jobs));
      const RunResult several = RunScene(c.scene, jobs);
      EXPECT_TRUE(several.summary.error.ok());
      EXPECT_EQ(several.outcomes, one.outcomes);
      EXPECT_EQ(several.summary.renamed, one.summary.renamed);
      EXPECT_EQ(several.summary.unreadable, one.summary.unreadable);
      EXPECT_EQ(several.summary.withGroup, one.summary.withGroup);
    }
  }
}

// A failure after files found replaced: the log ends with exactly the renames standing (checked
// in RunScene), and what one thread told before the failure is told the same.
TEST(ParallelReviewTest, AFailureAfterFilesFoundReplacedKeepsExactlyTheLinesOfRenamesStanding) {
  const Case cases[] = {
      {"replaced while probing, failing after it", {40, {3}, {30}, false, false}},
      {"replaced while probing and after, failing after both", {40, {3, 25}, {30}, false, false}},
      {"replaced, then the next fails", {40, {25}, {26}, false, false}},
      {"a group replaced, then the next group's fails", {24, {20}, {21}, true, false}},
      {"a group replaced while probing, a later group's fails", {24, {2, 19}, {22}, true, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const RunResult one = RunScene(c.scene, 1);
    EXPECT_FALSE(one.summary.error.ok());
    for (const int jobs : {0, 4}) {
      SCOPED_TRACE("jobs " + std::to_string(jobs));
      const RunResult several = RunScene(c.scene, jobs);
      EXPECT_FALSE(several.summary.error.ok());
      EXPECT_EQ(several.summary.error, one.summary.error);
      // Up to the failure, all of one thread's outcomes, in order.
      ASSERT_GE(several.outcomes.size(), one.outcomes.size());
      EXPECT_EQ(std::vector<std::string>(several.outcomes.begin(),
                                         several.outcomes.begin() + one.outcomes.size()),
                one.outcomes);
    }
  }
}

// The disk fills once the batch's last file is found replaced. One thread takes that file's line
// out of the log by cutting it off, which needs no room; several threads must not fail where one
// does not.
TEST(ParallelReviewTest, TheLastFileFoundReplacedOnAFullDiskEndsTheRunAsWithOneThread) {
  for (const int jobs : {1, 4}) {
    SCOPED_TRACE("jobs " + std::to_string(jobs));
    const RunResult result = RunScene({12, {12}, {}, false, true}, jobs);
    EXPECT_TRUE(result.summary.error.ok()) << result.errors << " errors";
    EXPECT_EQ(result.summary.renamed, 11u);
    EXPECT_EQ(result.summary.unreadable, 1u);
  }
}

// Pieces of a few folders, many sharing keys, given while the threads work, some runs stopped
// part way: every piece runs at most once (exactly once when not stopped), pieces sharing a key
// run one at a time and in the order given, and every piece is taken back.
TEST(ParallelReviewTest, OrderedWorkKeepsItsPiecesInOrderWhicheverFolderAThreadTakes) {
  std::mt19937 random(20261208);
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    constexpr int kPieces = 600;
    const int stopAt = round % 3 == 0 ? static_cast<int>(random() % kPieces) : -1;
    std::mutex mutex;
    std::map<std::string, int> lastRun;  // by key: the last piece run
    std::set<std::string> running;       // keys of pieces on their way
    std::vector<int> runs(kPieces, 0);
    std::vector<std::string> faults;
    OrderedWork work(4);
    int taken = 0;
    for (int n = 0; n < kPieces; ++n) {
      const std::string folder = std::string(1, static_cast<char>('a' + random() % 5));
      std::vector<std::string> keys{std::to_string(random() % 40), std::to_string(random() % 40)};
      const std::vector<std::string> paths{folder + kPathSeparator + "x" + keys[0],
                                           folder + kPathSeparator + "y" + keys[1]};
      if (keys[0] == keys[1]) keys.pop_back();
      const bool stops = n == stopAt;
      work.Add(folder, {paths[0], paths[1]}, [&, n, keys, stops] {
        {
          const std::lock_guard<std::mutex> lock(mutex);
          ++runs[n];
          for (const std::string& key : keys) {
            if (!running.insert(key).second) faults.push_back("key " + key + " twice at once");
            const auto last = lastRun.find(key);
            if (last != lastRun.end() && last->second > n) {
              faults.push_back("key " + key + " out of order");
            }
            lastRun[key] = n;
          }
        }
        if (n % 7 == 0) std::this_thread::yield();
        const std::lock_guard<std::mutex> lock(mutex);
        for (const std::string& key : keys) running.erase(key);
        if (stops) work.Stop();
      });
      if (random() % 4 == 0 && !work.Empty()) {
        work.TakeOldest();
        ++taken;
      }
    }
    while (!work.Empty()) {
      work.TakeOldest();
      ++taken;
    }
    EXPECT_EQ(taken, kPieces);
    EXPECT_TRUE(faults.empty()) << faults.front();
    for (int n = 0; n < kPieces; ++n) {
      EXPECT_LE(runs[n], 1) << n;
      if (stopAt < 0) {
        EXPECT_EQ(runs[n], 1) << n;
      }
    }
  }
}

}  // namespace
}  // namespace tokiren
