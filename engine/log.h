// The log of the last run: its name and format, and reading it back.
#pragma once

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

// The log's bytes as UTF-8. The program writes UTF-8; a complete line that is not valid UTF-8 was
// written by an older program in the system's code page and is read as such (TextFromSystemCodePage;
// unchanged on POSIX). Valid lines and a torn last line stay as they are.
std::string LogTextAsUtf8(std::string contents);

// Splits a line "old as new" at the " as " whose two sides lie in one folder: `newPath` is the
// folder of `oldPath` followed by a name without a separator, and both names are non-empty. At
// most one " as " of a line can do so, so a folder named "a as b" splits correctly. False for a
// damaged or hand-edited line, which is then left alone.
bool SplitLogLine(std::string_view line, std::string_view* oldPath, std::string_view* newPath);

}  // namespace tokiren
