// The real tokiren-media-helper, started as the pool starts it: a socket pair as its standard
// input and output, the starting process's id as its argument. It seals itself before it reads.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "media/helper_protocol.h"
#include "tests/media/media_files.h"
#include "tests/support/process.h"
#include "tests/support/temp_tree.h"

extern char** environ;

namespace tokiren::media {
namespace {

using testing::TempTree;

constexpr char kOriginal[] = "Exif.Photo.DateTimeOriginal";
constexpr char kSubSecOriginal[] = "Exif.Photo.SubSecTimeOriginal";
// Larger than exiv2's whole-file mapping could take under the helper's former 1 GiB address
// space cap, beside the libraries themselves.
constexpr off_t kHugeTiffBytes = off_t{900} << 20;
constexpr int kNoFile = -1;

class Helper {
 public:
  explicit Helper(const std::string& poolPid) {
    int ends[2];
    EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
    std::string program = TOKIREN_MEDIA_HELPER, argument = poolPid;
    char* const argv[] = {program.data(), argument.data(), nullptr};
    EXPECT_EQ(posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(ends[1]);
    socket_ = ends[0];
    ready_ = Answer() == std::string(kReadyMessage);
  }
  ~Helper() { Wait(); }

  pid_t pid() const { return pid_; }

  // Hands over `fd` (kNoFile: a request without one) and waits for the answer; nothing when the
  // helper is gone.
  std::optional<std::string> Ask(int fd) {
    const bool sent = fd == kNoFile ? send(socket_, "F", 1, MSG_NOSIGNAL) == 1
                                    : SendFile(socket_, fd);
    if (!sent) return std::nullopt;
    return Answer();
  }
  // Whether it said it is ready before anything was asked.
  bool ready() const { return ready_; }

  std::optional<std::string> Answer() {
    for (;;) {
      bool malformed = false;
      if (auto answer = TakeMessage(&received_, kMaxAnswerMessage, &malformed)) return answer;
      char chunk[256];
      const ssize_t got = recv(socket_, chunk, sizeof chunk, 0);
      if (malformed || got <= 0) return std::nullopt;
      received_.append(chunk, static_cast<size_t>(got));
    }
  }
  std::optional<std::string> AskFile(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_GE(fd, 0) << path;
    auto answer = Ask(fd);
    close(fd);
    return answer;
  }

  // Closes the pool's end and gives the helper's exit status (128 + the signal that ended it).
  int Wait() {
    if (pid_ <= 0) return status_;
    close(socket_);
    int status = 0;
    EXPECT_EQ(waitpid(pid_, &status, 0), pid_);
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    pid_ = -1;
    return status_;
  }

 private:
  pid_t pid_ = -1;
  int socket_ = -1;
  int status_ = -1;
  bool ready_ = false;
  std::string received_;
};

// The "Name:\tvalue" lines of /proc/<pid>/status.
std::map<std::string, std::string> ProcessStatus(pid_t pid) {
  std::map<std::string, std::string> fields;
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const size_t value = line.find_first_not_of(" \t", colon + 1);
    fields[line.substr(0, colon)] = value == std::string::npos ? "" : line.substr(value);
  }
  return fields;
}

class HelperProcessTest : public ::testing::Test {
 protected:
  std::string Photo(const std::string& name) {
    const std::string path = tree_ / name;
    EXPECT_TRUE(testing::MakeJpeg(path));
    EXPECT_TRUE(testing::SetExifText(path, kOriginal, "2016:08:30 12:48:42"));
    return path;
  }

  static std::string OurPid() { return std::to_string(getpid()); }

  TempTree tree_;
};

TEST_F(HelperProcessTest, AnswersEachFileHandedOverIncludingAHugeTiff) {
  const std::string tiff = tree_ / "huge.tif", movie = tree_ / "a.mp4";
  ASSERT_TRUE(testing::MakeTiff(tiff));
  ASSERT_TRUE(testing::SetExifText(tiff, kOriginal, "2016:08:30 12:48:42"));
  ASSERT_EQ(truncate(tiff.c_str(), kHugeTiffBytes), 0);  // sparse: costs no disk
  ASSERT_TRUE(testing::MakeMovie(movie, "2016-08-30T16:48:42Z"));
  // A shot of a burst and a movie that keeps its time as text, each with its fraction of a second.
  const std::string burst = Photo("burst.jpg"), movieText = tree_ / "b.mp4";
  ASSERT_TRUE(testing::SetExifText(burst, kSubSecOriginal, "125"));
  ASSERT_TRUE(testing::MakeMovieWithTimeText(movieText, "2016-08-30T16:48:42.5Z"));
  Helper helper(OurPid());
  EXPECT_TRUE(helper.ready());
  const struct {
    std::string path;  // "" for a request without a file
    std::string answer;
  } cases[] = {
      {tiff, "W20160830124842"},
      {Photo("a.jpg"), "W20160830124842"},
      {movie, "U20160830164842"},
      {burst, "W20160830124842.125"},
      {movieText, "U20160830164842.5"},
      {"", ""},
      {tree_.Write("notes.txt", "2016:08:30 12:48:42"), ""},
      {tiff, "W20160830124842"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.path.empty() ? helper.Ask(kNoFile) : helper.AskFile(c.path), c.answer) << c.path;
  }
  EXPECT_EQ(helper.Wait(), 0);
}

TEST_F(HelperProcessTest, IsSealedBeforeItReadsAndStillReadsWhatItIsHanded) {
  const std::string photo = Photo("a.jpg");
  Helper helper(OurPid());
  ASSERT_EQ(helper.AskFile(photo), "W20160830124842");  // past its sealing
  const auto status = ProcessStatus(helper.pid());
  EXPECT_EQ(status.at("NoNewPrivs"), "1");
  EXPECT_EQ(status.at("Seccomp"), "2");
  EXPECT_EQ(helper.AskFile(photo), "W20160830124842");
  EXPECT_EQ(helper.Wait(), 0);
}

TEST_F(HelperProcessTest, StartedByRootItReadsAsAnotherUser) {
  if (geteuid() != 0) GTEST_SKIP() << "only a helper started by root changes its user";
  const std::string photo = Photo("a.jpg");
  Helper helper(OurPid());
  ASSERT_EQ(helper.AskFile(photo), "W20160830124842");
  const auto status = ProcessStatus(helper.pid());
  // Real, effective, saved and file-system ids alike.
  for (const char* field : {"Uid", "Gid"}) {
    std::istringstream ids(status.at(field));
    for (unsigned long id = 0; ids >> id;) EXPECT_NE(id, 0u) << field << ": " << status.at(field);
  }
  EXPECT_EQ(status.at("Groups"), "");
  EXPECT_EQ(helper.Wait(), 0);
}

TEST_F(HelperProcessTest, EndsAtOnceUnlessStartedByThePoolNamed) {
  const std::string photo = Photo("a.jpg");
  Helper helper("1");  // not our process id
  EXPECT_EQ(helper.AskFile(photo), std::nullopt);
  EXPECT_NE(helper.Wait(), 0);
}

TEST_F(HelperProcessTest, ASealedHelperCanOpenConnectAndExecuteNothing) {
  // A file anyone may read, so that only the sealing can refuse it.
  ASSERT_EQ(chmod(tree_.path().c_str(), 0755), 0);
  const std::string readable = tree_.Write("readable.txt", "text");
  ASSERT_EQ(chmod(readable.c_str(), 0644), 0);
  ASSERT_EQ(testing::RunUnprivileged([&readable] {
              const int fd = open(readable.c_str(), O_RDONLY);
              return fd >= 0 && close(fd) == 0;
            }),
            0);
  EXPECT_EQ(testing::RunProgram({TOKIREN_MEDIA_HELPER, "--try-open", readable},
                                tree_ / "out.txt", tree_ / "err.txt"),
            0)
      << tree_.Read("err.txt");
}

}  // namespace
}  // namespace tokiren::media
