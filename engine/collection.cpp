// The collection of a folder tree, and the test of each file against the extension list.
#include "engine/collection.h"

#include <algorithm>

#include "engine/folder_names.h"
#include "engine/log_file.h"

namespace tokiren {

bool FitsOnOneLine(std::string_view text) { return text.find_first_of("\r\n") == text.npos; }

bool SameFolded(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char x, char y) { return FoldAscii(x) == FoldAscii(y); });
}

OwnFiles::OwnFiles(std::string logFolder, std::vector<std::string> files)
    : logFolder_(std::move(logFolder)), files_(std::move(files)) {
  folders_.emplace_back(logFolder_);
  for (const std::string& path : files_) folders_.push_back(FolderOf(path));
}

bool OwnFiles::MayHold(std::string_view folder) const {
  return std::any_of(folders_.begin(), folders_.end(),
                     [&](std::string_view own) { return SameFolded(own, folder); });
}

bool OwnFiles::Holds(std::string_view folder, std::string_view name) const {
  if (SameFolded(folder, logFolder_) &&
      SameFolded(name.substr(0, std::min(name.size(), kLogFilePrefix.size())), kLogFilePrefix)) {
    return true;
  }
  return std::any_of(files_.begin(), files_.end(), [&](const std::string& path) {
    return SameFolded(FolderOf(path), folder) && SameFolded(NameOf(path), name);
  });
}

void Collection::Clear() {
  folders_.assign(1, std::string());
  files_.assign(1, File{0, std::string()});
}

ErrorCode Collection::Walk(FileSystem& fileSystem, const std::string& root, const OwnFiles& own,
                           const std::function<void(std::uint64_t)>& progress,
                           std::string* failedFolder) {
  constexpr std::uint64_t kProgressStep = 4096;
  std::vector<std::string> toVisit{root};
  std::vector<FolderEntry> entries;
  std::uint64_t nextReport = kProgressStep;
  while (!toVisit.empty()) {
    std::string folder = std::move(toVisit.back());
    toVisit.pop_back();
    const ErrorCode error =
        fileSystem.ListFolder(folder, FileSystem::ListMask::kFilesAndFolders, &entries);
    if (!error.ok()) {
      *failedFolder = std::move(folder);
      return error;
    }
    // Subfolders go on the stack last-first, so the first is visited next: a pre-order walk.
    const size_t firstSubfolder = toVisit.size();
    for (const FolderEntry& entry : entries) {
      if (entry.isFolder) toVisit.push_back(folder + entry.name + kPathSeparator);
    }
    std::reverse(toVisit.begin() + static_cast<std::ptrdiff_t>(firstSubfolder), toVisit.end());

    const bool holdsOwnFiles = own.MayHold(folder);
    const auto folderIndex = static_cast<std::uint32_t>(folders_.size());
    const size_t before = files_.size();
    for (FolderEntry& entry : entries) {
      if (entry.isFolder || (holdsOwnFiles && own.Holds(folder, entry.name))) continue;
      files_.push_back(File{folderIndex, std::move(entry.name)});
    }
    if (files_.size() != before) folders_.push_back(std::move(folder));
    if (size() >= nextReport) {
      progress(size());
      nextReport = size() + kProgressStep;
    }
  }
  return kSuccess;
}

Matcher::Matcher(const std::vector<ExtensionEntry>& entries)
    : entries_(entries), allFiles_(AllFilesChecked(entries)) {}

bool Matcher::Matches(std::string_view name, std::string* extension) const {
  const std::string upper = AsciiUpper(name);
  bool match = false;
  CheckKakucyou(entries_, upper, match, *extension);
  if (match || !allFiles_) return match;
  const size_t dot = upper.rfind('.');
  extension->assign(dot == upper.npos ? std::string() : upper.substr(dot));
  return true;
}

}  // namespace tokiren
