// Trees that fight back (odd names, depth beyond a path's reach, links, fifos, locked folders,
// other processes changing the tree), two runs at once, and logs torn or edited by hand.
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <random>
#include <thread>

#include "tests/reliability/case.h"

namespace tokiren::reliability {
namespace {

constexpr char kPathAccessText[] = "パス名が無効です。";
constexpr char kBusyText[] = "ほかの実行またはリセットが進行中です。";

void Touch(const std::string& path, std::time_t when = 1400000000) {
  WriteFileText(path, "content of " + path);
  const struct timespec times[2] = {{when, 0}, {when, 0}};
  utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

bool Ok(const Outcome& outcome) { return outcome.exited && outcome.exitCode == 0; }
bool Failed(const Outcome& outcome) { return outcome.exited && outcome.exitCode == 1; }

TEST(HostileTreeTest, OddNamesAreRenamedAndRestoredByteForByte) {
  Case c(0);
  const std::string longName = std::string(251, 'n') + ".jpg";  // 255 bytes
  const std::string longFolder = std::string(255, 'f');
  for (const std::string& name :
       {std::string("new\nline.jpg"), std::string("carriage\rreturn.jpg"), std::string("tab\t.jpg"),
        std::string("back\\slash.jpg"), std::string("a as b.jpg"), std::string("\xff\xfe bad.jpg"),
        std::string(" leading blank.jpg"), std::string("trailing blank.jpg "), longName}) {
    Touch(c.tree + "/" + name);
  }
  for (const std::string& folder : {std::string("x as y"), std::string("x as y/p as q"), longFolder,
                                    std::string("\xc3\x28 folder")}) {
    mkdir((c.tree + "/" + folder).c_str(), 0755);
    Touch(c.tree + "/" + folder + "/IMG 1.jpg", 1400000100);
    Touch(c.tree + "/" + folder + "/" + longName, 1400000100);
  }
  c.Retake();
  const Outcome outcome = RunOn(c);
  EXPECT_TRUE(Ok(outcome)) << outcome.output;
  ExpectMatchesLog(c);
  // Names with a line break cannot be logged and are left alone, as is a name whose extension
  // is ".jpg " ; the rest are renamed.
  const Manifest after = TakeManifest(c.tree);
  EXPECT_TRUE(after.files.contains("new\nline.jpg"));
  EXPECT_TRUE(after.files.contains("carriage\rreturn.jpg"));
  EXPECT_TRUE(after.files.contains("trailing blank.jpg "));
  EXPECT_FALSE(after.files.contains("a as b.jpg"));
  EXPECT_FALSE(after.files.contains("x as y/p as q/IMG 1.jpg"));
  EXPECT_EQ(LoggedRenames(LogText(c.logs), c.tree).size(), c.before.files.size() - 3);
  ExpectResetRestores(c);
}

// A tree deeper than an absolute path can name: the run reports it and touches nothing.
TEST(HostileTreeTest, TreeDeeperThanAPathCanName) {
  Case c(0);
  Touch(c.tree + "/top.jpg");
  int dir = open(c.tree.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(dir, 0);
  const std::string level(200, 'd');
  for (int depth = 0; depth < 24; ++depth) {  // 24 * 201 bytes: beyond 4096
    ASSERT_EQ(mkdirat(dir, level.c_str(), 0755), 0);
    const int next = openat(dir, level.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    close(dir);
    dir = next;
    ASSERT_GE(dir, 0);
  }
  const int file = openat(dir, "deep.jpg", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  ASSERT_GE(file, 0);
  close(file);
  close(dir);
  c.Retake();
  const Outcome outcome = RunOn(c);
  EXPECT_TRUE(Failed(outcome)) << outcome.output;
  EXPECT_NE(outcome.output.find(kPathAccessText), std::string::npos) << outcome.output;
  ExpectMatchesLog(c);
  const Problems problems = CheckSame(c.before, TakeManifest(c.tree));
  EXPECT_TRUE(problems.empty()) << Describe(problems);
  ExpectResetRestores(c);
}

TEST(HostileTreeTest, LinksFifosSocketsAndHardLinks) {
  Case c(0);
  Touch(c.tree + "/real.jpg");
  symlink(".", (c.tree + "/loop").c_str());
  symlink("..", (c.tree + "/up").c_str());
  symlink("nowhere.jpg", (c.tree + "/dangling.jpg").c_str());
  symlink("real.jpg", (c.tree + "/link.jpg").c_str());
  symlink("/tmp", (c.tree + "/outside").c_str());
  mkfifo((c.tree + "/pipe.jpg").c_str(), 0644);
  const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = c.tree + "/sock.jpg";
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  socketPath.copy(address.sun_path, socketPath.size());
  ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  close(sock);
  Touch(c.tree + "/first.jpg", 1400000500);
  link((c.tree + "/first.jpg").c_str(), (c.tree + "/second.jpg").c_str());
  c.Retake();
  const Outcome outcome = RunOn(c);  // a fifo opened by mistake would hang here
  EXPECT_TRUE(Ok(outcome)) << outcome.output;
  ExpectMatchesLog(c);
  EXPECT_EQ(LoggedRenames(LogText(c.logs), c.tree).size(), 3u);  // real, first, second
  ExpectResetRestores(c);
}

struct LockedFolder {
  const char* name;
  mode_t mode;
  bool rootOwnedFiles;  // files of another user in a sticky folder
};

TEST(HostileTreeTest, FoldersWithoutReadOrWriteRightsAndStickyFolders) {
  const LockedFolder cases[] = {{"noread", 0311, false},
                                {"nowrite", 0555, false},
                                {"sticky", 01777, true}};
  for (const LockedFolder& locked : cases) {
    if (locked.rootOwnedFiles && !RunningAsRoot()) continue;  // needs a second user
    SCOPED_TRACE(locked.name);
    Case c(0);
    Touch(c.tree + "/a.jpg");
    const std::string folder = c.tree + "/" + locked.name;
    mkdir(folder.c_str(), 0755);
    Touch(folder + "/IMG_1.jpg", 1400000600);
    Touch(folder + "/IMG_2.jpg", 1400000700);
    c.Retake();
    if (locked.rootOwnedFiles) {
      lchown(folder.c_str(), 0, 0);
      lchown((folder + "/IMG_1.jpg").c_str(), 0, 0);
    }
    chmod(folder.c_str(), locked.mode);
    const Outcome outcome = RunOn(c);
    EXPECT_TRUE(Failed(outcome)) << outcome.output;
    EXPECT_NE(outcome.output.find(kPathAccessText), std::string::npos) << outcome.output;
    chmod(folder.c_str(), 0755);
    ExpectMatchesLog(c);
    chmod(folder.c_str(), locked.mode);
    const Outcome reset = ResetOn(c);
    EXPECT_TRUE(reset.exited) << reset.output;
    chmod(folder.c_str(), 0755);
    const Problems problems = CheckSame(c.before, TakeManifest(c.tree));
    EXPECT_TRUE(problems.empty()) << Describe(problems);
  }
}

// Another process deletes files and folders and takes the very names the run is about to give,
// while the run goes on (slowed down so the two overlap).
TEST(HostileTreeTest, TreeChangedByAnotherProcessDuringTheRun) {
  if (!HaveStrace()) GTEST_SKIP() << "strace is not installed";
  for (unsigned round = 0; round < 3; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    Case c(1500, 40 + round, "");
    // Two folders go whole; in the rest, files go and stamp names are taken.
    const std::vector<std::string> doomed = {"d0/s2/", "d0/s6/"};
    struct Target {
      std::string path, stampName;
      struct timespec time;
    };
    std::vector<Target> targets;
    for (const auto& [path, record] : c.before.files) {
      struct stat st;
      if (lstat((c.tree + "/" + path).c_str(), &st) != 0) continue;
      const size_t slash = path.rfind('/');
      const std::string folder = path.substr(0, slash + 1);
      if (std::find(doomed.begin(), doomed.end(), folder) != doomed.end()) continue;
      struct tm fields {};
      gmtime_r(&st.st_mtime, &fields);
      char stamp[32];
      std::strftime(stamp, sizeof stamp, "%Y%m%d%H%M%S.JPG", &fields);
      targets.push_back({path, folder + stamp, st.st_mtim});
    }
    std::mt19937 random(round);
    std::shuffle(targets.begin(), targets.end(), random);

    std::set<std::string> created, deleted;
    std::atomic<bool> done = false;
    const std::string output = c.scratch / "output";
    const pid_t child = StartCli({RunArgs(c.tree, c.logs), RenamesSlowedBy(400)}, output);
    std::thread other([&] {
      size_t next = 0;
      while (!done && next < targets.size()) {
        const Target& target = targets[next++];
        if (next == 60 || next == 180) {
          const std::string folder = doomed[next == 60 ? 0 : 1];
          std::error_code ignored;
          std::filesystem::remove_all(c.tree + "/" + folder, ignored);
          deleted.insert(folder);
        } else if (next % 3 == 0) {
          if (unlink((c.tree + "/" + target.path).c_str()) == 0) deleted.insert(target.path);
        } else {
          // The stamp name taken first, with the stamp as its own time so no run renames it.
          const std::string full = c.tree + "/" + target.stampName;
          const int fd = open(full.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
          if (fd >= 0) {
            (void)!write(fd, "made meanwhile", 14);
            const struct timespec times[2] = {target.time, target.time};
            futimens(fd, times);
            close(fd);
            created.insert(target.stampName);
          }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
    });
    const Outcome outcome = WaitCli(child, output);
    done = true;
    other.join();
    ++SuiteTally().faults;
    EXPECT_TRUE(outcome.exited) << outcome.output;
    std::printf("round %u: exit %d, %zu names taken and %zu files or folders deleted meanwhile\n",
                round, outcome.exitCode, created.size(), deleted.size());
    EXPECT_FALSE(created.empty());
    EXPECT_FALSE(deleted.empty());
    const Manifest after = TakeManifest(c.tree);
    Problems problems = CheckAfterRun(c.before, after, LoggedRenames(LogText(c.logs), c.tree),
                                      created, deleted);
    EXPECT_TRUE(problems.empty()) << Describe(problems);
    const Outcome reset = ResetOn(c);
    EXPECT_TRUE(reset.exited) << reset.output;
    problems = CheckAfterRun(c.before, TakeManifest(c.tree), {}, created, deleted);
    EXPECT_TRUE(problems.empty()) << "after Reset: " << Describe(problems);
  }
}

// The same, driven at a chosen rename: the file about to be renamed is deleted, and its new name
// taken, by another process just before the rename. The run stops there; Reset must then leave
// the other process's file alone, since the run never renamed it.
TEST(HostileTreeTest, ResetNeverMovesAFileTheRunDidNotRename) {
  if (!HaveStrace()) GTEST_SKIP() << "strace is not installed";
  for (const int failing : {1, 700, 4097}) {
    SCOPED_TRACE("rename " + std::to_string(failing) + " fails");
    Case c(4800, 3);
    const Outcome plan = RunCli({[&] {
      std::vector<std::string> args = RunArgs(c.tree, c.logs);
      args.push_back("--dry-run");
      return args;
    }()});
    ASSERT_TRUE(Ok(plan)) << plan.output;
    std::vector<std::pair<std::string, std::string>> planned;
    size_t start = 0;
    for (size_t end; (end = plan.output.find("\r\n", start)) != std::string::npos;
         start = end + 2) {
      const std::string line = plan.output.substr(start, end - start);
      const size_t as = line.find(" as ");
      if (as != std::string::npos) planned.emplace_back(line.substr(0, as), line.substr(as + 4));
    }
    ASSERT_GT(planned.size(), static_cast<size_t>(failing));
    const auto& [victimOld, victimNew] = planned[static_cast<size_t>(failing - 1)];

    // The rename fails as it would with its file gone; the other process's doing follows.
    const Outcome outcome = RunOn(c, FailAt("renameat2", "ENOENT", failing));
    EXPECT_TRUE(Failed(outcome)) << outcome.output;
    EXPECT_EQ(LoggedRenames(LogText(c.logs), c.tree).size(), static_cast<size_t>(failing - 1));
    ASSERT_EQ(unlink(victimOld.c_str()), 0);
    WriteFileText(victimNew, "made by another process");
    const std::string relativeOld = victimOld.substr(c.tree.size() + 1);
    const std::string relativeNew = victimNew.substr(c.tree.size() + 1);

    const Outcome reset = ResetOn(c);
    EXPECT_TRUE(Ok(reset)) << reset.output;
    EXPECT_EQ(ReadFileText(victimNew), "made by another process");
    const Problems problems =
        CheckAfterRun(c.before, TakeManifest(c.tree), {}, {relativeNew}, {relativeOld});
    EXPECT_TRUE(problems.empty()) << "after Reset: " << Describe(problems);
  }
}

TEST(ConcurrencyTest, SecondRunOrResetOnOneLogIsRefused) {
  if (!HaveStrace()) GTEST_SKIP() << "strace is not installed";
  Case c(1200);
  const std::string output = c.scratch / "first";
  const pid_t first = StartCli({RunArgs(c.tree, c.logs), RenamesSlowedBy(1000)}, output);
  // Wait until the first holds the log and has begun renaming.
  for (int i = 0; i < 500 && LoggedRenames(LogText(c.logs), c.tree).empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  const Outcome second = RunOn(c);
  const Outcome reset = ResetOn(c);
  const Outcome firstOutcome = WaitCli(first, output);
  EXPECT_TRUE(Ok(firstOutcome)) << firstOutcome.output;
  for (const Outcome& refused : {second, reset}) {
    EXPECT_TRUE(Failed(refused)) << refused.output;
    EXPECT_NE(refused.output.find(kBusyText), std::string::npos) << refused.output;
  }
  ExpectMatchesLog(c);
  ExpectResetRestores(c);
}

void MakeThreeFiles(Case& c) {
  Touch(c.tree + "/IMG_1.jpg", 1400000000);
  mkdir((c.tree + "/sub").c_str(), 0755);
  Touch(c.tree + "/sub/IMG_2.jpg", 1400000100);
  Touch(c.tree + "/sub/IMG_3.jpg", 1400000200);
  c.Retake();
}

// The last line cut at every byte, or zeroed as a crash can leave a file's end: every complete
// line is restored and the rest is left where it stands.
TEST(TornLogTest, LastLineCutAtEveryByteOrZeroed) {
  for (int variant = 0;; ++variant) {
    Case c(0);
    MakeThreeFiles(c);
    ASSERT_TRUE(Ok(RunOn(c)));
    const std::string log = LogText(c.logs);
    const size_t lastStart = log.rfind("\r\n", log.size() - 3) + 2;
    const size_t lastSize = log.size() - lastStart;
    std::string damaged;
    if (variant <= static_cast<int>(lastSize)) {
      damaged = log.substr(0, lastStart + static_cast<size_t>(variant));
    } else if (variant == static_cast<int>(lastSize) + 1) {
      damaged = log.substr(0, lastStart) + std::string(lastSize - 2, '\0') + "\r\n";
    } else if (variant == static_cast<int>(lastSize) + 2) {
      damaged = log.substr(0, lastStart) + std::string(lastSize, '\0');
    } else if (variant == static_cast<int>(lastSize) + 3) {
      damaged = std::string(log.size(), '\0');
    } else {
      break;
    }
    SCOPED_TRACE("variant " + std::to_string(variant));
    ++SuiteTally().faults;
    WriteFileText(c.logs + "/tokiren_log.txt", damaged);
    const std::map<std::string, std::string> complete = LoggedRenames(damaged, c.tree);
    std::map<std::string, std::string> left;
    for (const auto& [from, to] : LoggedRenames(log, c.tree)) {
      if (!complete.contains(from)) left[from] = to;
    }
    const Outcome reset = ResetOn(c);
    EXPECT_TRUE(Ok(reset)) << reset.output;
    const Problems problems = CheckAfterRun(c.before, TakeManifest(c.tree), left);
    EXPECT_TRUE(problems.empty()) << Describe(problems);
    EXPECT_EQ(RenamedCount(c), left.size());
  }
}

TEST(TornLogTest, DamagedAndHandEditedLinesAreLeftAlone) {
  Case c(0);
  MakeThreeFiles(c);
  ASSERT_TRUE(Ok(RunOn(c)));
  const std::map<std::string, std::string> all = LoggedRenames(LogText(c.logs), c.tree);
  ASSERT_EQ(all.size(), 3u);
  const std::string renamed2 = c.tree + "/" + all.at("sub/IMG_2.jpg");
  const std::string log = LogText(c.logs) + "no separator on this line\r\n" +
                          // Edited by hand: the two sides in different folders.
                          renamed2 + " as " + c.tree + "/IMG_2.jpg\r\n" + " as \r\n\r\n";
  WriteFileText(c.logs + "/tokiren_log.txt", log);
  ExpectResetRestores(c);
}

}  // namespace
}  // namespace tokiren::reliability
