// Reading the log.
#include "engine/log.h"

#include "platform/file_system.h"
#include "platform/text.h"

namespace tokiren {

std::vector<std::string_view> CompleteLogLines(std::string_view contents) {
  std::vector<std::string_view> lines;
  for (size_t end; (end = contents.find(kLogLineEnd)) != std::string_view::npos;) {
    lines.push_back(contents.substr(0, end));
    contents.remove_prefix(end + kLogLineEnd.size());
  }
  return lines;
}

std::string_view LogLineAsUtf8(std::string_view line, std::string* storage) {
  if (IsValidUtf8(line)) return line;
  *storage = TextFromSystemCodePage(line);
  return *storage;
}

bool SplitLogLine(std::string_view line, std::string_view* oldPath, std::string_view* newPath) {
  // With the separator " as " at `at`, the new path runs from at + 4 to the end of the line; its
  // last path separator is the line's last one, `lastSlash`, so the folder it names is
  // lastSlash - at - 3 bytes long. The folder of the old path ends at the last path separator
  // before `at`. The two lengths agree for at most one `at`: as `at` grows, the first shrinks
  // and the second never does. Only that `at` needs its folders compared, so the work stays
  // linear where a test per candidate would compare up to the whole line each time.
  if (line.size() > kMaxLogLineBytes) return false;
  const size_t lastSlash = line.rfind(kPathSeparator);
  if (lastSlash == std::string_view::npos || lastSlash + 1 == line.size()) return false;
  size_t scanned = 0;
  size_t folderSize = 0;  // of the text before `scanned`: up to its last separator, 0 for none
  for (size_t at = line.find(kLogSeparator); at != std::string_view::npos;
       at = line.find(kLogSeparator, at + 1)) {
    const size_t newStart = at + kLogSeparator.size();
    if (newStart > lastSlash) return false;  // the new path would hold no folder
    for (; scanned < at; ++scanned) {
      if (line[scanned] == kPathSeparator) folderSize = scanned + 1;
    }
    const size_t newFolderSize = lastSlash + 1 - newStart;
    if (folderSize < newFolderSize) continue;
    if (folderSize > newFolderSize) return false;  // and for every later `at`
    if (folderSize == at) return false;  // the old name would be empty
    if (line.compare(newStart, folderSize, line.substr(0, folderSize)) != 0) return false;
    *oldPath = line.substr(0, at);
    *newPath = line.substr(newStart);
    return true;
  }
  return false;
}

}  // namespace tokiren
