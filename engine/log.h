// The log of the last run: its name and format, and reading it back.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tokiren {

inline constexpr std::string_view kLogFileName = "tokiren_log.txt";
// Held by a run or a Reset for as long as it works on the log.
inline constexpr std::string_view kLockFileName = "tokiren_log.lock";
inline constexpr std::string_view kLogSeparator = " as ";
inline constexpr std::string_view kLogLineEnd = "\r\n";

// The lines of a log, each without its CR LF. A last line without its CR LF was torn by a crash
// while being written; as a run makes a rename only after its line is on the disk, that rename
// never happened, and the torn line is left out.
std::vector<std::string_view> CompleteLogLines(std::string_view contents);

// The longest line a run can write: two full paths and the separator. POSIX: a run reaches a file
// as its folder's path (which the system takes in one call: at most PATH_MAX bytes, 4096 on
// Linux) followed by one name (at most NAME_MAX bytes, 255). Windows: a path of at most 32767
// UTF-16 units, up to three UTF-8 bytes each. The engine includes no system header, so the figures
// are written out here; the larger holds on both.
inline constexpr std::size_t kMaxPathBytes = 32767 * 3;
inline constexpr std::size_t kMaxLogLineBytes = 2 * kMaxPathBytes + kLogSeparator.size();

// A line of the log as UTF-8. The program writes UTF-8; a line that is not valid UTF-8 was written
// by an older program in the system's code page and is read as such (TextFromSystemCodePage, kept
// in `storage`; unchanged on POSIX). A valid line comes back as it is.
std::string_view LogLineAsUtf8(std::string_view line, std::string* storage);

// Splits a line "old as new" at the " as " whose two sides lie in one folder: `newPath` is the
// folder of `oldPath` followed by a name without a separator, and both names are non-empty. At
// most one " as " of a line can do so, so a folder named "a as b" splits correctly. False for a
// damaged or hand-edited line, which is then left alone, and at once for a line longer than
// kMaxLogLineBytes, which no run wrote. Takes time linear in the line's length, whatever its bytes.
bool SplitLogLine(std::string_view line, std::string_view* oldPath, std::string_view* newPath);

}  // namespace tokiren
