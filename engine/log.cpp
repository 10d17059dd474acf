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

std::string LogTextAsUtf8(std::string contents) {
  if (IsValidUtf8(contents)) return contents;
  std::string text;
  std::string_view rest = contents;
  for (size_t end; (end = rest.find(kLogLineEnd)) != std::string_view::npos;) {
    const std::string_view line = rest.substr(0, end);
    text += IsValidUtf8(line) ? std::string(line) : TextFromSystemCodePage(line);
    text += kLogLineEnd;
    rest.remove_prefix(end + kLogLineEnd.size());
  }
  text += rest;
  return text;
}

bool SplitLogLine(std::string_view line, std::string_view* oldPath, std::string_view* newPath) {
  for (size_t at = line.find(kLogSeparator); at != std::string_view::npos;
       at = line.find(kLogSeparator, at + 1)) {
    const std::string_view before = line.substr(0, at);
    const std::string_view after = line.substr(at + kLogSeparator.size());
    const std::string_view folder = FolderOf(before);
    if (folder.empty() || folder.size() == before.size()) continue;
    if (!after.starts_with(folder) || after.size() == folder.size()) continue;
    if (after.find(kPathSeparator, folder.size()) != std::string_view::npos) continue;
    *oldPath = before;
    *newPath = after;
    return true;
  }
  return false;
}

}  // namespace tokiren
