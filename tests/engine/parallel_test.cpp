// Calls made by several threads for a slow file system: the times read ahead of a run's pass, and
// the renames back of a Reset, which must keep every order that matters.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <sstream>
#include <chrono>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

#include "engine/engine.h"
#include "engine/ordered_work.h"
#include "engine/reset_queue.h"
#include "engine/time_read_ahead.h"
#include "platform/forwarding_file_system.h"
#include "tests/engine/engine_test_support.h"

namespace tokiren {
namespace {

using testing::Checked;
using testing::JobOnTree;
using testing::ScopedTimeZone;
using testing::TempTree;

// A file system whose calls on the user's files each take `delay` (a share), counting how many
// are on their way at once.
class SlowFileSystem : public ForwardingFileSystem {
 public:
  explicit SlowFileSystem(std::chrono::microseconds delay) : delay_(delay) {}

  ErrorCode GetFileTimes(const std::string& path, FileTimes* times) override {
    const Busy busy(*this);
    return ForwardingFileSystem::GetFileTimes(path, times);
  }
  bool FileExists(const std::string& path) override {
    const Busy busy(*this);
    return ForwardingFileSystem::FileExists(path);
  }
  ErrorCode RenameNoReplace(const std::string& from, const std::string& to) override {
    const int now = ++renamesNow_;
    for (int most = renamesMost_; now > most && !renamesMost_.compare_exchange_weak(most, now);) {
    }
    ErrorCode error;
    {
      const Busy busy(*this);
      error = renames_.fetch_add(1) == failRename_ ? kPathFileAccessError
                                                   : ForwardingFileSystem::RenameNoReplace(from, to);
    }
    --renamesNow_;
    return error;
  }

  int mostAtOnce() const { return most_; }
  int mostRenamesAtOnce() const { return renamesMost_; }
  // The rename call numbered `call` (from 0) fails.
  void FailRename(int call) { failRename_ = call; }

 private:
  struct Busy {
    explicit Busy(SlowFileSystem& fs) : fs_(fs) {
      const int now = ++fs_.now_;
      for (int most = fs_.most_; now > most && !fs_.most_.compare_exchange_weak(most, now);) {
      }
      std::this_thread::sleep_for(fs_.delay_);
    }
    ~Busy() { --fs_.now_; }
    SlowFileSystem& fs_;
  };

  const std::chrono::microseconds delay_;
  std::atomic<int> now_{0}, most_{0};
  std::atomic<int> renamesNow_{0}, renamesMost_{0}, renames_{0};
  int failRename_ = -1;
};

// Files f0 ... f<n-1> in `folder`, file k last written k minutes after a fixed moment.
std::vector<std::string> MakeFiles(const TempTree& tree, const std::string& folder, int n) {
  std::vector<std::string> paths;
  for (int k = 0; k < n; ++k) {
    paths.push_back(tree.Write(folder + std::string("/f") + std::to_string(k), "", 1472561322 + 60 * k));
  }
  return paths;
}

TEST(TimeReadAheadTest, HandsBackEachFilesOwnTimesInThePassesOrder) {
  ScopedTimeZone zone("UTC");
  TempTree tree;
  const std::vector<std::string> paths = MakeFiles(tree, "photos", 40);
  struct Case {
    int jobs;
    std::chrono::microseconds delay;
    bool readsAhead;  // threads start
  };
  std::vector<Case> cases{Case{1, std::chrono::microseconds(300), false},
                          Case{4, std::chrono::microseconds(300), true},
                          Case{0, std::chrono::microseconds(300), true}};  // slow: found out
#ifndef _WIN32
  // A local disk (under Wine every call is slow enough to be taken for a share's).
  cases.push_back(Case{0, std::chrono::microseconds(0), false});
#endif
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("jobs ") + std::to_string(c.jobs) + ", delay " +
                 std::to_string(c.delay.count()) + " us");
    SlowFileSystem fileSystem(c.delay);
    TimeReadAhead ahead(fileSystem, paths.size(), [&](std::size_t k) { return paths[k]; }, c.jobs);
    for (std::size_t k = 0; k < paths.size(); ++k) {
      FileTimes times;
      ASSERT_TRUE(ahead.Read(paths[k], &times).ok());
      EXPECT_EQ(times.lastWrite.minute, static_cast<int>((48 + k) % 60)) << paths[k];
    }
    EXPECT_EQ(ahead.started(), c.readsAhead);
    if (c.readsAhead) {
      EXPECT_GT(fileSystem.mostAtOnce(), 1);
    } else {
      EXPECT_EQ(fileSystem.mostAtOnce(), 1);
    }
  }
}

TEST(TimeReadAheadTest, PassesOverFilesNeverAskedForAndReadsOthersOnTheSpot) {
  ScopedTimeZone zone("UTC");
  TempTree tree;
  const std::vector<std::string> paths = MakeFiles(tree, "photos", 30);
  const std::string elsewhere = tree.Write("other/g", "", 1472561322);
  SlowFileSystem fileSystem(std::chrono::microseconds(200));
  TimeReadAhead ahead(fileSystem, paths.size(), [&](std::size_t k) { return paths[k]; }, 4);
  FileTimes times;
  for (std::size_t k = 0; k < paths.size(); k += 3) {
    ASSERT_TRUE(ahead.Read(paths[k], &times).ok());
    EXPECT_EQ(times.lastWrite.minute, static_cast<int>((48 + k) % 60));
  }
  ASSERT_TRUE(ahead.Read(elsewhere, &times).ok());
  EXPECT_EQ(times.lastWrite.minute, 48);
  EXPECT_FALSE(ahead.Read(tree / "photos/gone", &times).ok());
}

TEST(EntryKeyTest, KeepsOnlyTheDigitsThatNoRuleOfNamesChanges) {
  const struct {
    const char* name;
    const char* key;
  } cases[] = {
      {"20160830124842.JPG", "20160830124842"},
      {"IMG_0001.jpg", "0001"},
      {"img_0001.JPG", "0001"},               // one entry where case is folded
      {"\xE5\x86\x99\xE7\x9C\x9F.jpg", ""},  // 写真.jpg
      {"e\xCC\x81t\xC3\xA9 2019.jpg", "2019"},
      {"a.jpg.", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(EntryKey(c.name), c.key) << c.name;
}

// Lines of a Reset, each renaming `newName` back to `oldName` in one folder.
ResetQueue::Line LineOf(const std::string& folder, const std::string& oldName,
                        const std::string& newName) {
  ResetQueue::Line line;
  line.oldPath = folder + oldName;
  line.newPath = folder + newName;
  return line;
}

TEST(ResetQueueTest, ARenameBackStartsOnlyAfterTheEarlierLinesNamingItsEntriesAndAllComeBackInOrder) {
  // A chain in one folder (each line's old name is the next line's new name), lines freeing each
  // other's names, and independent lines in other folders between them.
  std::vector<ResetQueue::Line> lines;
  for (int k = 0; k < 30; ++k) {
    lines.push_back(LineOf("/a/", std::string("IMG_") + std::to_string(k + 1) + ".jpg",
                           std::string("IMG_") + std::to_string(k) + ".jpg"));
    lines.push_back(LineOf(std::string("/b") + std::to_string(k) + "/", std::string("x") + std::to_string(1000 + k),
                           std::string("y") + std::to_string(2000 + k)));
  }
  lines.push_back(LineOf("/c/", "100.jpg", "300.jpg"));
  lines.push_back(LineOf("/c/", "200.jpg", "100.jpg"));
  std::mutex mutex;
  std::vector<std::string> finished;  // new paths, in the order their renames back ended
  std::vector<std::string> violations;
  {
    ResetQueue queue(8, [&](const std::string& oldPath, const std::string& newPath) {
      {
        const std::lock_guard<std::mutex> lock(mutex);
        // Every earlier line naming one of this line's entries has ended.
        for (const ResetQueue::Line& earlier : lines) {
          if (earlier.newPath == newPath) break;
          const bool shares = earlier.oldPath == oldPath || earlier.oldPath == newPath ||
                              earlier.newPath == oldPath || earlier.newPath == newPath;
          if (shares && std::find(finished.begin(), finished.end(), earlier.newPath) ==
                            finished.end()) {
            violations.push_back(newPath + " before " + earlier.newPath);
          }
        }
      }
      std::this_thread::sleep_for(std::chrono::microseconds(300));
      const std::lock_guard<std::mutex> lock(mutex);
      finished.push_back(newPath);
      return RenameBack{RenameBack::Kind::kRestored, {}};
    });
    std::vector<std::string> handedBack;
    for (const ResetQueue::Line& line : lines) {
      while (queue.Full()) handedBack.push_back(queue.TakeOldest().newPath);
      queue.Add(line);
    }
    while (!queue.Empty()) handedBack.push_back(queue.TakeOldest().newPath);
    ASSERT_EQ(handedBack.size(), lines.size());
    for (std::size_t k = 0; k < lines.size(); ++k) EXPECT_EQ(handedBack[k], lines[k].newPath);
  }
  EXPECT_TRUE(violations.empty()) << violations.front();
}

// With pieces of one folder waiting far beyond the first few, a free thread still takes one of
// another folder rather than a second of a folder with one on its way (where a kernel would make
// it wait).
TEST(OrderedWorkTest, AFreeThreadTakesAFolderWithNothingOnItsWayHoweverFarBackItsPiecesWait) {
  constexpr int kEach = 100;
  std::mutex mutex;
  int endedInA = 0;
  int endedInABeforeB = -1;  // when the first piece of b/ started
  {
    OrderedWork work(2);
    for (int k = 0; k < 2 * kEach; ++k) {
      const bool inA = k < kEach;
      std::string path = inA ? "a" : "b";
      path += kPathSeparator;
      path += std::to_string(k);
      work.Add(FolderOf(path), {path}, [&, inA] {
        {
          const std::lock_guard<std::mutex> lock(mutex);
          if (!inA && endedInABeforeB < 0) endedInABeforeB = endedInA;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const std::lock_guard<std::mutex> lock(mutex);
        endedInA += inA;
      });
    }
    for (int k = 0; k < 2 * kEach; ++k) EXPECT_TRUE(work.TakeOldest());
  }
  EXPECT_EQ(endedInA, kEach);
  EXPECT_GE(endedInABeforeB, 0);
  EXPECT_LT(endedInABeforeB, 10);
}

// A free thread goes on in its folder while it may, then moves to the folder with the most
// pieces yet to start, so that the last folders to end are small ones.
TEST(OrderedWorkTest, AThreadEndsItsFolderThenTakesTheFolderWithTheMostLeft) {
  std::mutex mutex;
  std::string order;
  std::promise<void> started, release;
  OrderedWork work(1);
  auto piece = [&](char folder, int k, std::function<void()> also = nullptr) {
    const std::string path = std::string(1, folder) + kPathSeparator + std::to_string(k);
    work.Add(FolderOf(path), {path}, [&, folder, also] {
      if (also) also();
      const std::lock_guard<std::mutex> lock(mutex);
      order += folder;
    });
  };
  // The thread is held in g while the others are given: a's 2 pieces, b's 3, c's 3.
  piece('g', 0, [&] {
    started.set_value();
    release.get_future().wait();
  });
  started.get_future().wait();
  int k = 1;
  for (const auto& [folder, count] : {std::pair{'a', 2}, {'b', 3}, {'c', 3}}) {
    for (int n = 0; n < count; ++n) piece(folder, k++);
  }
  release.set_value();
  for (int n = 0; n < k; ++n) EXPECT_TRUE(work.TakeOldest());
  EXPECT_EQ(order, "gbbbcccaa");
}

class ParallelResetTest : public ::testing::TestWithParam<int> {
 protected:
  void WriteLog(const std::vector<std::pair<std::string, std::string>>& renames) {
    std::string log;
    for (const auto& [oldName, newName] : renames) {
      log += tree_ / ("photos/" + oldName);
      log += " as ";
      log += tree_ / ("photos/" + newName);
      log += "\r\n";
    }
    tree_.Write("app/tokiren_log.txt", log);
  }

  ScopedTimeZone zone_{"UTC"};
  TempTree tree_;
  SlowFileSystem fileSystem_{std::chrono::microseconds(200)};
  JobOnTree fixture_{tree_, Checked({".JPG"}), fileSystem_};
};

// The run renamed 100.jpg to 200.JPG, then gave 300.jpg the freed name 100.jpg: the second rename
// back must free 100.jpg before the first can take it.
TEST_P(ParallelResetTest, RenamesBackThatFreeEachOthersNamesKeepTheirOrder) {
  tree_.Write("photos/200.JPG", "was 100");
  tree_.Write("photos/100.jpg", "was 300");
  for (int k = 0; k < 50; ++k) tree_.Write(std::string("photos/") + std::to_string(5000 + k) + ".JPG", "x");
  std::vector<std::pair<std::string, std::string>> renames{{"100.jpg", "200.JPG"}};
  for (int k = 0; k < 50; ++k) {
    renames.push_back({std::string("IMG_") + std::to_string(k) + ".jpg", std::to_string(5000 + k) + ".JPG"});
  }
  renames.push_back({"300.jpg", "100.jpg"});
  WriteLog(renames);
  fixture_.job.jobs = GetParam();
  const ResetSummary summary = fixture_.job.Reset();
  EXPECT_EQ(summary.restored, 52u);
  EXPECT_EQ(summary.failed, 0u);
  EXPECT_TRUE(fixture_.sink.errors.empty());
  EXPECT_EQ(tree_.Read("photos/100.jpg"), "was 100");
  EXPECT_EQ(tree_.Read("photos/300.jpg"), "was 300");
  EXPECT_FALSE(tree_.Exists("photos/200.JPG"));
  EXPECT_EQ(tree_.Read("app/tokiren_log.txt"), "");
  if (GetParam() > 1) {
    EXPECT_GT(fileSystem_.mostAtOnce(), 1);
  }
}

// Each file of the chain took the name its neighbour gave up: c0 <- c1 <- ... <- c39 <- new.
TEST_P(ParallelResetTest, AChainOfRenamesGoesBackLastFirst) {
  constexpr int kChain = 40;
  std::vector<std::pair<std::string, std::string>> renames;
  for (int k = 0; k < kChain; ++k) {
    renames.push_back({std::string("c") + std::to_string(k + 1), std::string("c") + std::to_string(k)});
  }
  renames.push_back({"start", std::string("c") + std::to_string(kChain)});
  // On the disk now: c<k> holds the file that was c<k+1>, c<kChain> the one that was "start".
  for (int k = 0; k <= kChain; ++k) {
    tree_.Write(std::string("photos/c") + std::to_string(k), k == kChain ? "start" : std::string("c") + std::to_string(k + 1));
  }
  WriteLog(renames);
  fixture_.job.jobs = GetParam();
  const ResetSummary summary = fixture_.job.Reset();
  EXPECT_EQ(summary.restored, static_cast<std::uint64_t>(kChain + 1));
  EXPECT_EQ(summary.failed, 0u);
  EXPECT_EQ(tree_.Read("photos/start"), "start");
  for (int k = 1; k <= kChain; ++k) {
    EXPECT_EQ(tree_.Read(std::string("photos/c") + std::to_string(k)), std::string("c") + std::to_string(k));
  }
  EXPECT_FALSE(tree_.Exists("photos/c0"));
}

// Lines not found, damaged, and failing keep their places in the log, the same with any jobs.
TEST_P(ParallelResetTest, KeepsTheSameLinesAsOneThreadWould) {
  tree_.Write("photos/B.JPG", "b");
  tree_.Write("photos/taken", "mine");
  tree_.Write("photos/D.JPG", "d");
  WriteLog({{"a", "A.JPG"}, {"b", "B.JPG"}, {"taken", "D.JPG"}});
  std::string log = tree_.Read("app/tokiren_log.txt");
  log += "no separator here\r\n";
  tree_.Write("app/tokiren_log.txt", log);
  fixture_.job.jobs = GetParam();
  const ResetSummary summary = fixture_.job.Reset();
  EXPECT_EQ(summary.restored, 1u);
  EXPECT_EQ(summary.notFound, 1u);
  EXPECT_EQ(summary.failed, 1u);
  EXPECT_EQ(summary.damaged, 1u);
  ASSERT_EQ(fixture_.sink.errors.size(), 1u);
  EXPECT_EQ(tree_.Read("app/tokiren_log.txt"),
            tree_ / "photos/a" + " as " + tree_ / "photos/A.JPG" + "\r\n" + tree_ / "photos/taken" +
                " as " + tree_ / "photos/D.JPG" + "\r\nno separator here\r\n");
}

INSTANTIATE_TEST_SUITE_P(Jobs, ParallelResetTest, ::testing::Values(1, 4, 0));

// A run reads its times ahead on a slow file system and does exactly what one thread does.
TEST(ParallelRunTest, ARunOnASlowFileSystemRenamesAsOneThreadDoes) {
  ScopedTimeZone zone("UTC");
  std::vector<std::string> logs;
  for (const int jobs : {1, 4}) {
    TempTree tree;
    for (int k = 0; k < 60; ++k) {
      // Every third file shares its second with the one before: counted up.
      tree.Write("photos/" + std::string(k < 30 ? "a/" : "b/") + std::string("IMG_") + std::to_string(k) +
                     ".jpg",
                 "", 1472561322 + 60 * (k - k % 3 / 2));
    }
    SlowFileSystem fileSystem(std::chrono::microseconds(200));
    JobOnTree fixture(tree, Checked({".JPG"}), fileSystem);
    fixture.job.jobs = jobs;
    EXPECT_EQ(fixture.job.Run().renamed, 60u);
    std::string log = tree.Read("app/tokiren_log.txt");
    for (size_t at; (at = log.find(tree.path())) != std::string::npos;) {
      log.erase(at, tree.path().size());
    }
    logs.push_back(log);
    if (jobs > 1) {
      EXPECT_GT(fileSystem.mostAtOnce(), 1);
    }
  }
  EXPECT_EQ(logs[0], logs[1]);
}

// The log's lines as (old path, new path).
std::vector<std::pair<std::string, std::string>> LogLines(const std::string& log) {
  std::vector<std::pair<std::string, std::string>> lines;
  std::istringstream in(log);
  for (std::string line; std::getline(in, line, '\n');) {
    line.pop_back();  // '\r'
    const std::size_t as = line.find(" as ");
    lines.push_back({line.substr(0, as), line.substr(as + 4)});
  }
  return lines;
}

// In "photos/chain/" each file is named after the second after its own: its new name is the old
// name of the file renamed before it. Every fifth file shares its second with the one before and
// counts up, to a name the one before frees. Files of "photos/other/" go beside them.
TEST(ParallelRunTest, RenamesToNamesOthersFreeWaitForThemAndEndAsOneThreadLeavesThem) {
  ScopedTimeZone zone("UTC");
  std::vector<std::string> logs;
  for (const int jobs : {1, 4}) {
    SCOPED_TRACE(std::string("jobs ") + std::to_string(jobs));
    TempTree tree;
    const std::time_t base = 1472561280;  // 2016-08-30 12:48:00
    for (int k = 0; k < 40; ++k) {
      tree.Write("photos/chain/201608301248" + std::string(k + 1 < 10 ? "0" : "") +
                     std::to_string(k + 1) + ".JPG",
                 "", base + k - (k % 5 == 4));
      tree.Write("photos/other/IMG_" + std::to_string(k) + ".jpg", "", base + 3600 + k);
    }
    SlowFileSystem fileSystem(std::chrono::microseconds(300));
    JobOnTree fixture(tree, Checked({".JPG"}), fileSystem);
    fixture.job.jobs = jobs;
    fixture.job.options.countUp = true;
    EXPECT_EQ(fixture.job.Run().renamed, 80u);
    EXPECT_TRUE(fixture.sink.errors.empty()) << fixture.sink.errors.front().detail;
    std::string log = tree.Read("app/tokiren_log.txt");
    for (size_t at; (at = log.find(tree.path())) != std::string::npos;) log.erase(at, tree.path().size());
    logs.push_back(log);
    if (jobs > 1) {
      EXPECT_GT(fileSystem.mostRenamesAtOnce(), 1);
    }
  }
  EXPECT_EQ(logs[0], logs[1]);
}

// A rename failing amid renames on their way: the run stops, those made meanwhile keep their
// lines, no line is left of a rename not made, and one Reset puts every name back.
TEST(ParallelRunTest, ARenameFailingAmidOthersLeavesTheLogExactlyTheRenamesMade) {
  ScopedTimeZone zone("UTC");
  TempTree tree;
  std::vector<std::string> names;
  for (int k = 0; k < 30; ++k) {
    for (const char* folder : {"a/", "b/", "c/"}) {
      names.push_back(folder + std::string("IMG_") + std::to_string(k) + ".jpg");
      tree.Write("photos/" + names.back(), names.back(), 1472561322 + 60 * k + 7 * (*folder - 'a'));
    }
  }
  SlowFileSystem fileSystem(std::chrono::microseconds(300));
  fileSystem.FailRename(5);
  JobOnTree fixture(tree, Checked({".JPG"}), fileSystem);
  fixture.job.jobs = 4;
  const RunSummary summary = fixture.job.Run();
  EXPECT_FALSE(summary.error.ok());
  ASSERT_EQ(fixture.sink.errors.size(), 1u);
  EXPECT_GT(fileSystem.mostRenamesAtOnce(), 1);

  const auto lines = LogLines(tree.Read("app/tokiren_log.txt"));
  EXPECT_EQ(lines.size(), summary.renamed);
  std::size_t renamedOnDisk = 0;
  for (const std::string& name : names) renamedOnDisk += !tree.Exists("photos/" + name);
  EXPECT_EQ(renamedOnDisk, lines.size());
  for (const auto& [oldPath, newPath] : lines) {
    EXPECT_FALSE(tree.Exists(oldPath.substr(tree.path().size()))) << oldPath;
    EXPECT_TRUE(tree.Exists(newPath.substr(tree.path().size()))) << newPath;
  }

  EXPECT_EQ(fixture.job.Reset().restored, lines.size());
  for (const std::string& name : names) EXPECT_EQ(tree.Read("photos/" + name), name);
}

}  // namespace
}  // namespace tokiren
