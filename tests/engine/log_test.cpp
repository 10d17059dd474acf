// Reading the log back: splitting a line into its two paths.
#include "engine/log.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace tokiren {
namespace {

// The cases write paths with "/". Each line goes to SplitLogLine with "/" and the system's own
// separator swapped (nothing changes where they are one), so a case reads alike on every system;
// the paths found are the same stretches of `line`.
bool SplitWithSlashes(std::string_view line, std::string_view* oldPath, std::string_view* newPath) {
  std::string native(line);
  for (char& c : native) {
    if (c == '/') {
      c = kPathSeparator;
    } else if (c == kPathSeparator) {
      c = '/';
    }
  }
  std::string_view nativeOld, nativeNew;
  if (!SplitLogLine(native, &nativeOld, &nativeNew)) return false;
  *oldPath = line.substr(static_cast<size_t>(nativeOld.data() - native.data()), nativeOld.size());
  *newPath = line.substr(static_cast<size_t>(nativeNew.data() - native.data()), nativeNew.size());
  return true;
}

// The split as the contract states it, one candidate at a time: slow on a long line, plain to
// check by eye.
bool PlainSplit(std::string_view line, std::string_view* oldPath, std::string_view* newPath) {
  for (size_t at = line.find(" as "); at != std::string_view::npos; at = line.find(" as ", at + 1)) {
    const std::string_view before = line.substr(0, at);
    const std::string_view after = line.substr(at + 4);
    const size_t slash = before.rfind('/');
    if (slash == std::string_view::npos || slash + 1 == before.size()) continue;
    const std::string_view folder = before.substr(0, slash + 1);
    if (!after.starts_with(folder) || after.size() == folder.size()) continue;
    if (after.find('/', folder.size()) != std::string_view::npos) continue;
    *oldPath = before;
    *newPath = after;
    return true;
  }
  return false;
}

struct Case {
  std::string line;
  const char* oldPath;  // nullptr: no split
  const char* newPath;
};

void ExpectSplits(const Case& c) {
  std::string_view oldPath, newPath;
  const bool split = SplitWithSlashes(c.line, &oldPath, &newPath);
  EXPECT_EQ(split, c.oldPath != nullptr) << c.line;
  if (split && c.oldPath) {
    EXPECT_EQ(oldPath, c.oldPath) << c.line;
    EXPECT_EQ(newPath, c.newPath) << c.line;
  }
}

TEST(LogLineTest, SplitsAtTheSeparatorWhoseSidesShareAFolder) {
  const Case cases[] = {
      {"/p/a.jpg as /p/1.JPG", "/p/a.jpg", "/p/1.JPG"},
      {"/a as b/x as y.jpg as /a as b/1.JPG", "/a as b/x as y.jpg", "/a as b/1.JPG"},
      {"/p/a as /p/ as /p/1", nullptr, nullptr},  // no side of it holds two names of /p/
      {"/p/a.jpg as /q/1.JPG", nullptr, nullptr},
      {"/p/a.jpg as /p/sub/1.JPG", nullptr, nullptr},
      {"/p/a.jpg as /p/", nullptr, nullptr},
      {"/p/ as /p/1.JPG", nullptr, nullptr},
      {"a.jpg as 1.JPG", nullptr, nullptr},
      {"/p/a.jpg", nullptr, nullptr},
      {"", nullptr, nullptr},
  };
  for (const Case& c : cases) ExpectSplits(c);
}

TEST(LogLineTest, SplitsInAFolderWhoseNameHoldsTheSeparator) {
  const Case cases[] = {
      {"/a as b/x.jpg as /a as b/1.JPG", "/a as b/x.jpg", "/a as b/1.JPG"},
      {"/a as b/ as c/x.jpg as /a as b/ as c/1.JPG", "/a as b/ as c/x.jpg",
       "/a as b/ as c/1.JPG"},
      {"/p as /p/x.jpg as /p as /p/1.JPG", "/p as /p/x.jpg", "/p as /p/1.JPG"},
      {"/a as b/x.jpg as /a as c/1.JPG", nullptr, nullptr},  // two folders
  };
  for (const Case& c : cases) ExpectSplits(c);
}

TEST(LogLineTest, SplitsWhereANameHoldsTheSeparator) {
  const Case cases[] = {
      {"/p/x as y.jpg as /p/1.JPG", "/p/x as y.jpg", "/p/1.JPG"},
      {"/p/1.JPG as /p/x as y.jpg", "/p/1.JPG", "/p/x as y.jpg"},
      {"/p/ as .jpg as /p/1.JPG", "/p/ as .jpg", "/p/1.JPG"},
      {"/p/a as /p/b as /p/c", nullptr, nullptr},  // no separator has one folder on both sides
  };
  for (const Case& c : cases) ExpectSplits(c);
}

// A sound line of `size` bytes (at least 18): a long folder, and a long old name to make up the
// length.
std::string LineOfSize(size_t size) {
  const size_t folderSize = (size - 14) / 2;
  const std::string folder = "/" + std::string(folderSize - 2, 'f') + "/";
  const std::string oldName = std::string(size - 2 * folderSize - 13, 'a') + ".jpg";
  return folder + oldName + " as " + folder + "1.JPG";
}

TEST(LogLineTest, SplitsALineOfTheLongestLength) {
  const std::string line = LineOfSize(kMaxLogLineBytes);
  ASSERT_EQ(line.size(), kMaxLogLineBytes);
  std::string_view oldPath, newPath;
  ASSERT_TRUE(SplitWithSlashes(line, &oldPath, &newPath));
  EXPECT_EQ(oldPath.size() + 4 + newPath.size(), line.size());
  EXPECT_TRUE(newPath.ends_with("/1.JPG"));
}

TEST(LogLineTest, RefusesALineLongerThanAnyRunWrites) {
  const std::string line = LineOfSize(kMaxLogLineBytes + 1);
  ASSERT_EQ(line.size(), kMaxLogLineBytes + 1);
  std::string_view oldPath, newPath;
  ASSERT_TRUE(PlainSplit(line, &oldPath, &newPath));  // sound but for its length
  EXPECT_FALSE(SplitWithSlashes(line, &oldPath, &newPath));
}

TEST(LogLineTest, RefusesLongHostileLines) {
  // `start`, then `unit` as often as fits in `size` bytes, then `end`.
  auto repeated = [](std::string start, std::string_view unit, size_t size,
                     std::string_view end = "") {
    while (start.size() + unit.size() + end.size() <= size) start += unit;
    return start += end;
  };
  const std::string lines[] = {
      repeated("", "x as ", kMaxLogLineBytes),
      repeated("", "x as ", 1 << 20),
      // Ending in a separator: no new name, whichever " as " the split tries (with "x" in place of
      // the last "/", a line of the right length is "P as P", sound).
      repeated("/", "x as /", kMaxLogLineBytes, "x/"),
      repeated("", "/x as ", kMaxLogLineBytes, "/x/"),
      repeated("/p/", " as /p/", kMaxLogLineBytes, "x"),
      repeated("/", "a as /a", kMaxLogLineBytes),
  };
  for (const std::string& line : lines) {
    std::string_view oldPath, newPath;
    EXPECT_FALSE(SplitWithSlashes(line, &oldPath, &newPath)) << line.substr(0, 40);
  }
}

// Short lines from a few bytes that matter ('/', ' ', 'a', 's') cover the corners of the split
// better than hand-picked cases; each must split exactly where the plain reading does.
TEST(LogLineTest, AgreesWithThePlainReadingOnRandomShortLines) {
  std::mt19937 random(20160830);
  const char alphabet[] = {'/', ' ', 'a', 's', 'x'};
  std::uniform_int_distribution<size_t> pick(0, sizeof alphabet - 1), length(0, 24);
  auto text = [&](size_t size, bool slashes) {
    std::string result;
    while (result.size() < size) {
      const char c = alphabet[pick(random)];
      if (slashes || c != '/') result += c;
    }
    return result;
  };
  int splits = 0;
  for (int round = 0; round < 200000; ++round) {
    std::string line;
    if (round % 2 == 0) {
      line = text(length(random), true);
    } else {  // a sound line, perhaps with separators in its names and its folder
      const std::string folder = text(length(random), true) + "/";
      line = folder + text(1 + length(random), false) + " as " + folder +
             text(1 + length(random), false);
    }
    std::string_view oldPath, newPath, plainOld, plainNew;
    const bool split = SplitWithSlashes(line, &oldPath, &newPath);
    ASSERT_EQ(split, PlainSplit(line, &plainOld, &plainNew)) << '"' << line << '"';
    if (round % 2 == 1) {
      ASSERT_TRUE(split) << '"' << line << '"';
    }
    if (split) {
      ++splits;
      ASSERT_EQ(oldPath, plainOld) << '"' << line << '"';
      ASSERT_EQ(newPath, plainNew) << '"' << line << '"';
    }
  }
  EXPECT_GE(splits, 100000);
}

}  // namespace
}  // namespace tokiren
