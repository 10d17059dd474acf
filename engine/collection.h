// The files of a folder tree a run goes through, and which of them it acts on.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/extensions.h"
#include "platform/file_system.h"

namespace tokiren {

// The program's own files, which a run never renames whatever is checked: the log's files in the
// log's folder (any name starting with kLogFilePrefix), and the files named in full.
class OwnFiles {
 public:
  OwnFiles(std::string logFolder, std::vector<std::string> files);

  // Whether `folder` may hold one of them: only such folders need a look at each name.
  bool MayHold(std::string_view folder) const;
  // Whether `name` in `folder` is one of them, in any spelling of A-Z.
  bool Holds(std::string_view folder, std::string_view name) const;

 private:
  std::string logFolder_;
  std::vector<std::string> files_;
  std::vector<std::string_view> folders_;  // of logFolder_ and files_
};

class Collection {
 public:
  struct File {
    std::uint32_t folder;  // index into the folders
    std::string name;
  };

  Collection() { Clear(); }

  // Empties it.
  void Clear();

  // Appends every ordinary file of `root` and of every folder below it: the files of a folder
  // first (in listing order), then each subfolder's tree in listing order. Walks with a stack of
  // its own, so any depth of tree is fine. `own` files are left out. `progress` hears the number
  // of files collected now and then. Stops at the first folder that cannot be listed and returns
  // its code; `failedFolder` names it.
  ErrorCode Walk(FileSystem& fileSystem, const std::string& root, const OwnFiles& own,
                 const std::function<void(std::uint64_t)>& progress, std::string* failedFolder);

  // 1-based: entry i is the file folder(i) + name(i); index 0 holds "".
  const std::string& folder(std::size_t i) const { return folders_[files_[i].folder]; }
  const std::string& name(std::size_t i) const { return files_[i].name; }
  std::uint32_t folderIndex(std::size_t i) const { return files_[i].folder; }
  std::size_t size() const { return files_.size() - 1; }

 private:
  std::vector<std::string> folders_;
  std::vector<File> files_;
};

// Which files a run acts on: those a checked entry matches. `extension` receives the new name's
// extension: the entry's text, or with ".*" (which matches every file) the file's own from its
// last dot, upper-cased like the entries ("" for a name without a dot).
class Matcher {
 public:
  explicit Matcher(const std::vector<ExtensionEntry>& entries);
  bool Matches(std::string_view name, std::string* extension) const;

 private:
  const std::vector<ExtensionEntry>& entries_;
  const bool allFiles_;
};

// A path holding a line break cannot be written to the log as one line.
bool FitsOnOneLine(std::string_view text);

// Equal with A-Z folded.
bool SameFolded(std::string_view a, std::string_view b);

}  // namespace tokiren
