// The plan of a run, file by file.
#include "engine/plan.h"

#include <algorithm>
#include <optional>
#include <unordered_set>
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
  using Counted = FolderNames::Counted;
  const size_t count = members.size();
  std::vector<Decision> decisions(count);
  std::vector<Candidate> tried(count);
  auto nameTaken = [&] {
    return std::vector<Decision>(count, Decision{Decision::Kind::kNameTaken, {}, false});
  };
  // Each member's name from the stamp counted up to `counted`; false when two members get one
  // name (names alike but for case), which no count separates.
  std::unordered_set<std::string> seen;
  auto name = [&](const std::string& counted) {
    seen.clear();
    for (size_t m = 0; m < count; ++m) {
      const GroupMember& member = members[m];
      std::string& newName = decisions[m].newName;
      newName = member.anchor == kSharedStamp ? counted : decisions[member.anchor].newName;
      newName += member.ownPart;
      std::string key = newName;
      if (folderNames_.caseInsensitive()) {
        for (char& c : key) c = FoldAscii(c);
      }
      if (!seen.insert(std::move(key)).second) return false;
    }
    return true;
  };
  // The first member whose name is taken, or `count`.
  auto tryAll = [&] {
    for (size_t m = 0; m < count; ++m) {
      tried[m] = Try(members[m].name, decisions[m].newName, members[m].unfinishedPath,
                     &decisions[m].leftover);
      if (tried[m] == Candidate::kTaken) return m;
    }
    return count;
  };
  auto take = [&] {
    for (size_t m = 0; m < count; ++m) {
      decisions[m] = tried[m] == Candidate::kOwn
                         ? Decision{Decision::Kind::kAlreadyNamed, {}, false}
                         : Take(members[m].name, std::move(decisions[m].newName),
                                decisions[m].leftover);
    }
    return decisions;
  };

  // Counting up resumes past the names known taken for any member; the members' own names and
  // those a run that did not end gave them, passed over so, are looked at first.
  std::vector<std::optional<Counted>> starts(count);
  int resume = 0;
  if (countUp_) {
    if (!name(stamp)) return nameTaken();
    for (size_t m = 0; m < count; ++m) {
      starts[m] = folderNames_.CountedOf(decisions[m].newName);
      if (starts[m]) resume = std::max(resume, folderNames_.ResumeDistance(*starts[m]));
    }
    std::vector<int> special;
    for (size_t m = 0; m < count; ++m) {
      if (!starts[m]) continue;
      for (const std::string_view candidate :
           {members[m].name, NameOf(members[m].unfinishedPath)}) {
        const std::optional<Counted> counted = folderNames_.CountedOf(candidate);
        if (!counted || counted->group != starts[m]->group) continue;
        const int at = (counted->counter - starts[m]->counter + kCounterValues) % kCounterValues;
        if (at < resume) special.push_back(at);
      }
    }
    std::sort(special.begin(), special.end());
    special.erase(std::unique(special.begin(), special.end()), special.end());
    for (const int at : special) {
      std::string counted = stamp;
      CountUp(counted, at);
      if (name(counted) && tryAll() == count) return take();
    }
  }
  // Members whose every name from their resume point on has been found taken: their resume
  // points move on with the group's.
  std::vector<bool> known(count);
  for (size_t m = 0; m < count; ++m) {
    known[m] = starts[m] && folderNames_.ResumeDistance(*starts[m]) == resume;
  }
  CountUp(stamp, resume);
  for (int distance = resume;; ++distance) {
    if (!name(stamp)) return nameTaken();
    const size_t taken = tryAll();
    if (taken == count) {
      for (size_t m = 0; m < count; ++m) {
        if (known[m]) folderNames_.SetResumeDistance(*starts[m], distance + 1);
      }
      return take();
    }
    for (size_t m = 0; m < count; ++m) known[m] = known[m] && m == taken;
    if (!countUp_ || distance + 1 >= kCounterValues) return nameTaken();
    PlusOne(stamp);
  }
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
