// What the window says of the files a run acts on: the line of counts, why a file was left alone
// or named otherwise than asked, and the details part of a message that lists such files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine.h"

namespace tokiren::behaviour {

// The counts of the outcomes that occurred, on one line ("名前を変更 3 個、すでにその名前 1 個。");
// "" when the run acted on no file.
std::string CountsLine(const RunSummary& summary);

// Why `file` was left alone or named otherwise than asked, with the system's words where there
// are some; "" for a file renamed as asked.
std::string WhyText(const FileReport& file);

// A message shows at most this many lines of details; a line after them says how many more. A task
// dialog does not scroll its expandable part, and each path may take lines of its own there: more
// would reach past the screen. The preview lists every file.
inline constexpr std::size_t kDetailLines = 20;

// The details part of a message: a line for each file that the user should know was left alone
// or named otherwise than asked, and for each log line a Reset could not find.
class Details {
 public:
  // A file the run is done with: listed when it was left alone for a reason (not for having its
  // name already) or named after its last-write time for lack of a capture time.
  void Add(const FileReport& file);
  // A Reset's log line whose file is at neither name.
  void AddNotFound(std::string_view oldPath, std::string_view newPath);

  // The lines in the order given, joined by kLineEnd, the first kDetailLines of them and then
  // how many more there were; "" for none.
  std::string Text() const;

 private:
  void AddLine(std::string line);

  std::vector<std::string> lines_;
  std::uint64_t more_ = 0;
};

}  // namespace tokiren::behaviour
