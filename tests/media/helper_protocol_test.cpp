// The requests and answers between the pool and the helper, over a real socket pair.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "media/helper_protocol.h"
#include "tests/support/temp_tree.h"

namespace tokiren::media {
namespace {

using testing::TempTree;

bool IsOpen(int fd) { return fcntl(fd, F_GETFD) != -1; }

// How many descriptors this process holds.
size_t OpenDescriptors() {
  size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    (void)entry;
    ++count;
  }
  return count;
}

// Both ends of a Unix stream socket pair, closed at the end.
struct SocketPair {
  SocketPair() { EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0); }
  ~SocketPair() {
    close(ends[0]);
    close(ends[1]);
  }
  int ends[2] = {-1, -1};
};

// Every whole message the other end has sent before closing its side.
std::vector<std::string> Answers(int socket) {
  std::string received;
  char chunk[256];
  for (ssize_t got; (got = recv(socket, chunk, sizeof chunk, 0)) > 0;) received.append(chunk, got);
  std::vector<std::string> answers;
  bool malformed = false;
  while (auto answer = TakeMessage(&received, kMaxAnswerMessage, &malformed)) {
    answers.push_back(*answer);
  }
  EXPECT_FALSE(malformed);
  EXPECT_TRUE(received.empty());
  return answers;
}

TEST(HelperProtocolTest, AnswersRoundTrip) {
  const LocalTime summer{2016, 8, 30, 12, 48, 42}, newYear{1999, 12, 31, 23, 59, 59};
  const struct {
    std::optional<CapturedMoment> moment;
    const char* text;
  } cases[] = {
      {CapturedMoment{summer, false, std::nullopt}, "W20160830124842"},
      {CapturedMoment{newYear, true, std::nullopt}, "U19991231235959"},
      {CapturedMoment{summer, false, 500'000'000}, "W20160830124842.5"},
      {CapturedMoment{summer, true, 123'456'000}, "U20160830124842.123456"},
      {CapturedMoment{newYear, false, 999'999'999}, "W19991231235959.999999999"},
      {CapturedMoment{newYear, true, 1}, "U19991231235959.000000001"},
      {CapturedMoment{summer, false, 0}, "W20160830124842.0"},
      {std::nullopt, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AnswerText(c.moment), c.text);
    if (c.moment) {
      EXPECT_EQ(FromAnswerText(c.text), c.moment) << c.text;
    }
    EXPECT_LE(std::string_view(c.text).size(), kMaxAnswerMessage);
  }
  // Trailing zeros are no answer of ours, but no fault either.
  EXPECT_EQ(FromAnswerText("U20160830124842.500000000"),
            (CapturedMoment{summer, true, 500'000'000}));
}

TEST(HelperProtocolTest, AFractionOfAWholeSecondOrMoreIsLeftOut) {
  // No reader gives a fraction of a whole second or more; the time still goes over the wire.
  const CapturedMoment tooMuch{{2016, 8, 30, 12, 48, 42}, false, 1'000'000'000};
  EXPECT_EQ(AnswerText(tooMuch), "W20160830124842");
}

TEST(HelperProtocolTest, MalformedAnswersAreRefused) {
  const char* const malformed[] = {
      "", "W", "20160830124842", "X20160830124842", "w20160830124842", "W2016083012484",
      "W201608301248420", "U20161330124842", "W20160230124842", "U2016083012484a",
      " W20160830124842", "WU20160830124842",
      // Fractions: a "." with 1 to 9 digits and nothing else.
      "W20160830124842.", "W20160830124842.1234567890", "W20160830124842,5", "W20160830124842 5",
      "W20160830124842.5 ", "W20160830124842.-5", "W20160830124842.+5", "W20160830124842.5Z",
      "W20160830124842..5", "W20160830124842.5.5", "W20160830124842.x", "U2016083012484.5",
      "W20161330124842.5",
  };
  for (const char* text : malformed) EXPECT_EQ(FromAnswerText(text), std::nullopt) << text;
  EXPECT_EQ(FromAnswerText(std::string_view("W20160830124842.5\0", 18)), std::nullopt);
}

TEST(HelperProtocolTest, ARequestCarriesOneDescriptorAndExtraOnesAreClosed) {
  SocketPair pair;
  TempTree tree;
  const int file = open(tree.Write("a.txt", "content").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(file, 0);
  ASSERT_TRUE(SendFile(pair.ends[0], file));
  // A request with two descriptors, sent by hand, and a byte with none.
  const int both[2] = {file, file};
  char byte = 'F';
  iovec data{&byte, 1};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof both)] = {};
  msghdr message{};
  message.msg_iov = &data;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  cmsghdr* header = CMSG_FIRSTHDR(&message);
  header->cmsg_level = SOL_SOCKET;
  header->cmsg_type = SCM_RIGHTS;
  header->cmsg_len = CMSG_LEN(sizeof both);
  std::memcpy(CMSG_DATA(header), both, sizeof both);
  ASSERT_EQ(sendmsg(pair.ends[0], &message, 0), 1);
  ASSERT_EQ(send(pair.ends[0], "F", 1, 0), 1);
  close(file);
  shutdown(pair.ends[0], SHUT_WR);

  int received = -1;
  ASSERT_TRUE(ReceiveFile(pair.ends[1], &received));
  ASSERT_GE(received, 0);
  char text[7] = {};
  EXPECT_EQ(pread(received, text, 7, 0), 7);
  EXPECT_EQ(std::string(text, 7), "content");
  EXPECT_EQ(fcntl(received, F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
  close(received);

  const size_t before = OpenDescriptors();
  ASSERT_TRUE(ReceiveFile(pair.ends[1], &received));
  ASSERT_GE(received, 0);
  EXPECT_EQ(OpenDescriptors(), before + 1) << "the second descriptor is closed";
  close(received);

  ASSERT_TRUE(ReceiveFile(pair.ends[1], &received));
  EXPECT_EQ(received, -1);
  EXPECT_FALSE(ReceiveFile(pair.ends[1], &received));  // the end of the stream
}

TEST(HelperProtocolTest, ServingAnswersEachRequestInOrderAndClosesItsFile) {
  SocketPair pair;
  TempTree tree;
  const std::string dated = tree.Write("dated.txt", "W"), utc = tree.Write("utc.txt", "U"),
                    none = tree.Write("none.txt", "-"), burst = tree.Write("burst.txt", "B");
  for (const std::string& path : {dated, utc, none, burst}) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_TRUE(SendFile(pair.ends[0], fd));
    close(fd);
  }
  ASSERT_EQ(send(pair.ends[0], "F", 1, 0), 1);  // a request without its file
  shutdown(pair.ends[0], SHUT_WR);

  std::vector<int> served;
  const auto read = [&served](int fd) -> std::optional<CapturedMoment> {
    served.push_back(fd);
    char kind = 0;
    if (pread(fd, &kind, 1, 0) != 1 || kind == '-') return std::nullopt;
    std::optional<std::uint32_t> nanosecond;
    if (kind == 'B') nanosecond = 250'000'000;
    return CapturedMoment{{2016, 8, 30, 12, 48, 42}, kind == 'U', nanosecond};
  };
  EXPECT_EQ(ServeCaptureTimes(pair.ends[1], read), 0);
  shutdown(pair.ends[1], SHUT_WR);

  EXPECT_EQ(Answers(pair.ends[0]),
            (std::vector<std::string>{"R", "W20160830124842", "U20160830124842", "",
                                      "W20160830124842.25", ""}));
  ASSERT_EQ(served.size(), 4u);
  for (const int fd : served) EXPECT_FALSE(IsOpen(fd)) << fd;
}

}  // namespace
}  // namespace tokiren::media
