// The plan of a run, file by file.
#include "engine/plan.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/file_system.h"

namespace tokiren {

void Planner::EnterFolder(const std::string& folder, bool caseInsensitive) {
  folder_ = folder;
  folderNames_.Enter(caseInsensitive);
}

Decision Planner::Decide(std::string_view name, std::string stamp, const std::string& extension,
                         const std::string& unfinishedPath) {
  using Counted = FolderNames::Counted;
  std::optional<Counted> start;
  int distance = 0;
  bool leftover = false;
  if (countUp_) start = folderNames_.CountedOf(stamp + extension);
  // Counting up resumes where it last found a name; the candidates passed over are known taken,
  // but for the file's own name and the one a run that did not end gave it, looked at in order.
  auto found = [&](int at) {
    if (start) folderNames_.SetResumeDistance(*start, at + 1);
  };
  if (start) {
    distance = folderNames_.ResumeDistance(*start);
    std::vector<int> special;
    for (const std::string_view candidate : {name, NameOf(unfinishedPath)}) {
      const std::optional<Counted> counted = folderNames_.CountedOf(candidate);
      if (!counted || counted->group != start->group) continue;
      const int at = (counted->counter - start->counter + kCounterValues) % kCounterValues;
      if (at < distance) special.push_back(at);
    }
    std::sort(special.begin(), special.end());
    for (const int at : special) {
      std::string newName = stamp;
      CountUp(newName, at);
      newName += extension;
      switch (Try(name, newName, unfinishedPath, &leftover)) {
        case Candidate::kOwn:
          return Decision{Decision::Kind::kAlreadyNamed, {}, false};
        case Candidate::kFree:
          return Take(name, std::move(newName), leftover);
        case Candidate::kTaken:
          break;
      }
    }
    CountUp(stamp, distance);
  }
  for (;; ++distance) {
    std::string newName = stamp + extension;
    switch (Try(name, newName, unfinishedPath, &leftover)) {
      case Candidate::kOwn:
        found(distance);
        return Decision{Decision::Kind::kAlreadyNamed, {}, false};
      case Candidate::kFree:
        found(distance);
        return Take(name, std::move(newName), leftover);
      case Candidate::kTaken:
        break;
    }
    if (!countUp_ || distance + 1 >= kCounterValues) {
      return Decision{Decision::Kind::kNameTaken, {}, false};
    }
    PlusOne(stamp);
  }
}

std::vector<Decision> Planner::DecideGroup(const std::vector<GroupMember>& members,
                                          std::string stamp) {
  std::vector<Decision> decisions(members.size());
  std::vector<Candidate> tried(members.size());
  for (int distance = 0;; ++distance) {
    bool taken = false;
    for (size_t m = 0; m < members.size() && !taken; ++m) {
      const GroupMember& member = members[m];
      Decision& decision = decisions[m];
      decision.newName = member.anchor == kSharedStamp ? stamp : decisions[member.anchor].newName;
      decision.newName += member.ownPart;
      // Two members given one name (names alike but for case): no count separates them.
      for (size_t k = 0; k < m; ++k) {
        if (folderNames_.Same(decisions[k].newName, decision.newName)) {
          return std::vector<Decision>(members.size(), Decision{Decision::Kind::kNameTaken, {}, false});
        }
      }
      tried[m] = Try(member.name, decision.newName, member.unfinishedPath, &decision.leftover);
      taken = tried[m] == Candidate::kTaken;
    }
    if (!taken) break;
    if (!countUp_ || distance + 1 >= kCounterValues) {
      return std::vector<Decision>(members.size(), Decision{Decision::Kind::kNameTaken, {}, false});
    }
    PlusOne(stamp);
  }
  for (size_t m = 0; m < members.size(); ++m) {
    if (tried[m] == Candidate::kOwn) {
      decisions[m] = Decision{Decision::Kind::kAlreadyNamed, {}, false};
    } else {
      decisions[m] = Take(members[m].name, std::move(decisions[m].newName), decisions[m].leftover);
    }
  }
  return decisions;
}

Planner::Candidate Planner::Try(std::string_view name, const std::string& newName,
                                const std::string& unfinishedPath, bool* leftover) {
  *leftover = false;
  if (folderNames_.Same(newName, name)) return Candidate::kOwn;
  const std::optional<bool> decided = folderNames_.Decided(newName);
  if (decided) return *decided ? Candidate::kTaken : Candidate::kFree;
  const std::string newPath = folder_ + newName;
  if (!names_.Exists(newPath)) return Candidate::kFree;
  // Two names of one file are a rename cut off only where the log of the run that did not end
  // records exactly that rename; otherwise the name is simply taken.
  if (newPath == unfinishedPath && names_.IsCutOffRename(folder_ + std::string(name), newPath)) {
    *leftover = true;
    return Candidate::kFree;
  }
  return Candidate::kTaken;
}

Decision Planner::Take(std::string_view name, std::string newName, bool leftover) {
  folderNames_.Free(name);
  folderNames_.Take(newName);
  return Decision{Decision::Kind::kRename, std::move(newName), leftover};
}

}  // namespace tokiren
