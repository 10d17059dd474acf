// The plan of a run: for each file it acts on, its new name, decided against its folder's names as
// they will stand once the renames decided before it are made. It writes nothing; what it knows of
// the disk it asks of a NameView.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/companions.h"
#include "engine/folder_names.h"
#include "engine/stamp.h"

namespace tokiren {

// What the plan asks of the folders: whether a path is taken, and whether a taken one is the
// second name of this very file, left by a rename that was cut off.
class NameView {
 public:
  virtual ~NameView() = default;
  virtual bool Exists(const std::string& path) = 0;
  virtual bool IsCutOffRename(const std::string& oldPath, const std::string& newPath) = 0;
};

// The decision for one file.
struct Decision {
  enum class Kind {
    kRename,        // to `newName`
    kAlreadyNamed,  // it has its name already, in its file system's eyes
    kNameTaken,     // left alone: its name is taken and counting up is off, or every count is
  };
  Kind kind = Kind::kRename;
  std::string newName;
  // `newName` already names the file: a rename cut off, of which only the old name is left to
  // remove.
  bool leftover = false;
};

// One member of a group of companions, as the plan sees it.
struct GroupMember {
  std::string_view name;       // its name now (a name of the collection)
  std::uint32_t anchor;        // kSharedStamp, or the member whose new whole name its own follows
  std::string ownPart;         // what follows the stamp (or that name) in its new name
  std::string unfinishedPath;  // the name a run that did not end gave it, "" for none
};

class Planner {
 public:
  Planner(const StampFormat& format, bool countUp, NameView& names)
      : countUp_(countUp), names_(names), folderNames_(format.length()) {}

  // Starts on the files of `folder` (ending with its separator).
  void EnterFolder(const std::string& folder, bool caseInsensitive);

  // The new name of the file `name` (a name of the collection, valid while the folder is worked
  // on) from its stamp and extension: the stamp itself, or counted up past taken names. A name a
  // run that did not end gave this file (`unfinishedPath`, "" for none) is its own once more. A
  // file planned kRename is counted as renamed: the names after it see its old name free.
  Decision Decide(std::string_view name, std::string stamp, const std::string& extension,
                  const std::string& unfinishedPath);

  // The new names of a group of companions, which count up together: a stamp is free only when
  // each member's name from it is free (or already that member's). Either every member is
  // planned kRename or kAlreadyNamed, or every one kNameTaken.
  std::vector<Decision> DecideGroup(const std::vector<GroupMember>& members, std::string stamp);

 private:
  enum class Candidate { kOwn, kFree, kTaken };
  Candidate Try(std::string_view name, const std::string& newName,
                const std::string& unfinishedPath, bool* leftover);
  Decision Take(std::string_view name, std::string newName, bool leftover);

  const bool countUp_;
  NameView& names_;
  FolderNames folderNames_;
  std::string folder_;
};

}  // namespace tokiren
