// The rename pass: files alone or with their companions, planned and renamed.
#include "engine/pass.h"

#include <algorithm>
#include <deque>
#include <limits>
#include <map>

#include "engine/companions.h"
#include "engine/folder_names.h"

namespace tokiren {
namespace {

// Files between two progress reports while renaming: often enough that a slow file system (a
// share, Wine) still moves the display every second or so; the sinks limit how often they draw.
constexpr std::uint64_t kProgressStep = 64;

bool HasNonAscii(std::string_view name) {
  return std::any_of(name.begin(), name.end(), [](char c) { return (c & 0x80) != 0; });
}

bool HasAsciiLetter(std::string_view name) {
  return std::any_of(name.begin(), name.end(),
                     [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); });
}

std::string TimeReason(const ErrorCode& error) {
  return error == kInvalidPropertyValue && error.system == 0
             ? std::string("its year lies outside 0-9999")
             : Reason(error);
}

}  // namespace

// The plan's view of the folders. Whether a name is taken comes from the folder's listing made
// moments ago by this run, which holds every regular file that is not hidden (exactly what the
// existence test looks for): no system call per candidate, which on a share or on Windows is a
// round trip or a directory search. A file that appears since is still never replaced (the rename
// replaces nothing) and a file gone since costs only a higher count. Where case does not tell
// names apart, the listing answers only while every name in it is ASCII, whose folding is A-Z on
// every such file system (and a new name, 14 characters of stamp at least, is never one of the
// 8.3 aliases FAT and NTFS give long names); otherwise, and in folders holding the program's own
// files (left out of the listing), the file system is asked, which knows its own rules of case.
class FolderView final : public NameView {
 public:
  FolderView(FileSystem& fileSystem, const Collection& collection, const OwnFiles& own)
      : fileSystem_(fileSystem), collection_(collection), own_(own) {}

  // Starts on the folder of collected file `file`, whose files stand together in the collection.
  void Enter(std::uint32_t file, bool caseInsensitive) {
    listed_.clear();
    const std::string& folder = collection_.folder(file);
    useListing_ = !own_.MayHold(folder);
    folded_ = caseInsensitive;
    if (!useListing_) return;
    const std::uint32_t index = collection_.folderIndex(file);
    std::uint32_t begin = file;
    while (begin > 1 && collection_.folderIndex(begin - 1) == index) --begin;
    std::uint32_t end = file;
    while (end <= collection_.size() && collection_.folderIndex(end) == index) ++end;
    if (folded_) {
      for (std::uint32_t k = begin; k < end; ++k) {
        const std::string& name = collection_.name(k);
        if (HasNonAscii(name)) {
          useListing_ = false;
          return;
        }
      }
    }
    // The folder's files by name: an open-addressing table of indices into the collection, at
    // most half full (8 bytes a file at the most).
    size_t slots = 16;
    while (slots < 2 * static_cast<size_t>(end - begin)) slots *= 2;
    listed_.assign(slots, 0);
    for (std::uint32_t k = begin; k < end; ++k) {
      size_t slot = Hash(collection_.name(k));
      while (listed_[slot] != 0) slot = (slot + 1) & (listed_.size() - 1);
      listed_[slot] = k;  // collected files count from 1: 0 is an empty slot
    }
  }

  bool Exists(const std::string& path) override {
    if (!useListing_) return fileSystem_.FileExists(path);
    const std::string_view name = NameOf(path);
    if (folded_ && HasNonAscii(name)) {
      return fileSystem_.FileExists(path);
    }
    for (size_t slot = Hash(name); listed_[slot] != 0; slot = (slot + 1) & (listed_.size() - 1)) {
      const std::string& listed = collection_.name(listed_[slot]);
      if (folded_ ? SameFolded(listed, name) : listed == name) return true;
    }
    return false;
  }
  bool IsCutOffRename(const std::string& oldPath, const std::string& newPath) override {
    return fileSystem_.InterruptedRename(oldPath, newPath) != FileSystem::Interruption::kNone;
  }

 private:
  size_t Hash(std::string_view name) const {
    if (!folded_) return std::hash<std::string_view>{}(name) & (listed_.size() - 1);
    std::uint64_t hash = 14695981039346656037u;  // FNV-1a over the folded name
    for (const char c : name) hash = (hash ^ static_cast<unsigned char>(FoldAscii(c))) * 1099511628211u;
    return static_cast<size_t>(hash ^ (hash >> 32)) & (listed_.size() - 1);
  }

  FileSystem& fileSystem_;
  const Collection& collection_;
  const OwnFiles& own_;
  bool useListing_ = false;
  bool folded_ = false;
  std::vector<std::uint32_t> listed_;
};

RunPass::RunPass(FileSystem& fileSystem, EngineSink& sink, const Collection& collection,
                 const RunOptions& options, const OwnFiles& own, RunLog& log, bool dryRun,
                 bool burstOrder, RunSummary& summary, int jobs)
    : fileSystem_(fileSystem),
      sink_(sink),
      collection_(collection),
      options_(options),
      log_(log),
      dryRun_(dryRun),
      byFolder_(options.companions || burstOrder),
      burstOrder_(burstOrder),
      summary_(summary),
      matcher_(options.extensions),
      view_(std::make_unique<FolderView>(fileSystem, collection, own)),
      planner_(StampFormat(options.separator), options.countUp, *view_),
      applier_(fileSystem, log, sink, summary, jobs) {}

RunPass::~RunPass() = default;

std::vector<std::uint32_t> RunPass::Prepare() {
  const auto count = static_cast<std::uint32_t>(collection_.size());
  if (!byFolder_) {
    std::string extension;
    for (std::uint32_t i = 1; i <= count; ++i) {
      if (matcher_.Matches(collection_.name(i), &extension)) matching_.push_back(i);
    }
    actsOn_ = matching_.size();
  } else {
    for (std::uint32_t begin = 1; begin <= count;) {
      std::uint32_t end = begin + 1;
      while (end <= count && collection_.folderIndex(end) == collection_.folderIndex(begin)) ++end;
      PrepareFolder(begin, end);
      begin = end;
    }
    actsOn_ = members_.size();
  }
  std::vector<std::uint32_t> read;
  auto add = [&](std::uint32_t i) {
    if (Fits(i)) read.push_back(i);
  };
  if (!byFolder_) {
    for (const std::uint32_t i : matching_) add(i);
  } else {
    for (const Member& member : members_) {
      if (member.acts) add(member.file);
    }
  }
  return read;
}

std::string RunPass::GroupingName(std::uint32_t file) {
  const std::string& name = collection_.name(file);
  if (!Fits(file)) return name;
  // A file a run that did not end renamed keeps the companions of its name before that run, so a
  // group cut off by a kill is made whole again, not split.
  const std::string path = collection_.folder(file) + name;
  const std::string before = log_.UnfinishedRenameTo(path);
  if (!before.empty() && FolderOf(before) == FolderOf(path)) return std::string(NameOf(before));
  return name;
}

void RunPass::PrepareFolder(std::uint32_t begin, std::uint32_t end) {
  // Each file's part: left out, alone, or a candidate companion.
  constexpr std::uint32_t kLeftOut = std::numeric_limits<std::uint32_t>::max();
  constexpr std::uint32_t kAlone = kLeftOut - 1;
  std::vector<std::uint32_t> part(end - begin, kLeftOut);
  std::deque<std::string> grouping;  // the names companions are found by
  std::vector<std::string_view> names;
  std::vector<bool> acts;
  std::vector<std::uint32_t> candidates;
  std::string extension;
  const bool folderFits = FitsOnOneLine(collection_.folder(begin));
  for (std::uint32_t i = begin; i < end; ++i) {
    const std::string& name = collection_.name(i);
    const bool matches = matcher_.Matches(name, &extension);
    if (!matches && !options_.companions) continue;
    // The second name of a rename a run that did not end left half made is the same file.
    const bool fits = folderFits && FitsOnOneLine(name);
    if (fits && applier_.IsCutOffSecondName(collection_.folder(i) + name, dryRun_)) continue;
    if (matches) part[i - begin] = kAlone;
    // A file whose entry reaches past its last dot (".TAR.GZ") is named alone: its new name would
    // share no name up to its last dot with its group's.
    const size_t dot = name.rfind('.');
    if (matches && (dot == std::string::npos || extension.size() > name.size() - dot)) continue;
    // A file the log cannot hold is still one of its group, and holds the group back.
    candidates.push_back(i);
    names.push_back(grouping.emplace_back(GroupingName(i)));
    acts.push_back(matches);
  }
  std::vector<std::vector<Companion>> groups;
  if (options_.companions) groups = FindCompanions(names, acts);
  for (std::uint32_t g = 0; g < groups.size(); ++g) {
    for (const Companion& companion : groups[g]) part[candidates[companion.file] - begin] = g;
  }
  std::vector<bool> placed(groups.size(), false);
  for (std::uint32_t i = begin; i < end; ++i) {
    const std::uint32_t p = part[i - begin];
    if (p == kLeftOut) continue;
    const auto first = static_cast<std::uint32_t>(members_.size());
    if (p == kAlone) {
      members_.push_back(Member{i, kSharedStamp, 0, true});
      units_.push_back(Unit{first, 1});
    } else if (!placed[p]) {
      placed[p] = true;
      for (const Companion& companion : groups[p]) {
        members_.push_back(Member{candidates[companion.file], companion.anchor, companion.ownPart,
                                  acts[companion.file]});
      }
      units_.push_back(Unit{first, static_cast<std::uint32_t>(groups[p].size())});
    }
  }
}

bool RunPass::Run(const StampReader& readStamp) {
  if (!(byFolder_ ? RunByFolder(readStamp) : RunFileByFile(readStamp))) return false;
  if (const auto failures = applier_.Flush(); !failures.empty()) return Stop(failures);
  sink_.Progress(EngineSink::Phase::kRenaming, actsOn_, actsOn_);
  return true;
}

void RunPass::Progress() {
  if (++done_ % kProgressStep == 0) {
    sink_.Progress(EngineSink::Phase::kRenaming, done_, actsOn_);
  }
}

void RunPass::EnterFolder(std::uint32_t file) {
  // The folder's file system tells, by one of its names, whether case tells names apart.
  const std::uint32_t folder = collection_.folderIndex(file);
  std::uint32_t first = file;
  while (first > 1 && collection_.folderIndex(first - 1) == folder) --first;
  bool caseInsensitive = false;
  for (size_t k = first; k <= collection_.size() && collection_.folderIndex(k) == folder; ++k) {
    if (HasAsciiLetter(collection_.name(k))) {
      caseInsensitive =
          fileSystem_.IsCaseInsensitiveFolder(collection_.folder(k), collection_.name(k));
      break;
    }
  }
  view_->Enter(first, caseInsensitive);
  planner_.EnterFolder(collection_.folder(file), caseInsensitive);
}

bool RunPass::RunFileByFile(const StampReader& readStamp) {
  constexpr std::uint32_t kNoFolder = std::numeric_limits<std::uint32_t>::max();
  std::uint32_t currentFolder = kNoFolder;
  for (const std::uint32_t i : matching_) {
    Progress();
    if (CancelledNow()) return false;
    const std::string& folder = collection_.folder(i);
    const std::string& name = collection_.name(i);
    if (!Fits(i)) {
      Tell(i, FileOutcome::kNotOnOneLine);
      continue;
    }
    if (collection_.folderIndex(i) != currentFolder) {
      currentFolder = collection_.folderIndex(i);
      EnterFolder(i);
    }
    const std::string path = folder + name;
    if (applier_.IsCutOffSecondName(path, dryRun_)) continue;
    Read read;
    read.error = readStamp(path, &read.stamp);
    if (!Alone(i, read)) return false;
  }
  return true;
}

bool RunPass::RunByFolder(const StampReader& readStamp) {
  for (std::uint32_t begin = 0; begin < units_.size();) {
    const std::uint32_t folder = collection_.folderIndex(members_[units_[begin].first].file);
    std::uint32_t end = begin + 1;
    while (end < units_.size() &&
           collection_.folderIndex(members_[units_[end].first].file) == folder) {
      ++end;
    }
    EnterFolder(members_[units_[begin].first].file);
    // Every time of the folder first: a unit's stamp is its members' earliest, and a burst's
    // order needs all of its second. The progress counts the files read (or not to be).
    const std::uint32_t firstMember = units_[begin].first;
    const std::uint32_t endMember = units_[end - 1].first + units_[end - 1].count;
    reads_.assign(endMember - firstMember, Read{});
    readsFirst_ = firstMember;
    for (std::uint32_t m = firstMember; m < endMember; ++m) {
      if (CancelledNow()) return false;
      Progress();
      const Member& member = members_[m];
      if (!member.acts) continue;
      Read& read = reads_[m - firstMember];
      if (!Fits(member.file)) {
        read.error = kPathFileAccessError;  // never read: it is told it cannot be logged
        continue;
      }
      read.error =
          readStamp(collection_.folder(member.file) + collection_.name(member.file), &read.stamp);
    }
    for (const std::uint32_t u : BurstOrder(begin, end)) {
      if (CancelledNow()) return false;
      const Unit& unit = units_[u];
      if (unit.count == 1) {
        const std::uint32_t file = members_[unit.first].file;
        if (!Fits(file)) {
          Tell(file, FileOutcome::kNotOnOneLine);
        } else if (!Alone(file, reads_[unit.first - firstMember])) {
          return false;
        }
      } else if (!Together(unit, ++groups_)) {
        return false;
      }
    }
    begin = end;
  }
  return true;
}

bool RunPass::CancelledNow() {
  if (!dryRun_ || !sink_.Cancelled()) return false;
  summary_.cancelled = true;
  return true;
}

bool RunPass::Fits(std::uint32_t file) const {
  return FitsOnOneLine(collection_.folder(file)) && FitsOnOneLine(collection_.name(file));
}

std::optional<std::uint32_t> RunPass::Earliest(const Unit& unit) const {
  std::optional<std::uint32_t> earliest;
  for (std::uint32_t m = unit.first; m < unit.first + unit.count; ++m) {
    if (!members_[m].acts) continue;
    const Read& read = reads_[m - readsFirst_];
    if (!read.error.ok()) return std::nullopt;
    if (!earliest) {
      earliest = m;
      continue;
    }
    const FileStamp& best = reads_[*earliest - readsFirst_].stamp;
    const FileStamp& stamp = read.stamp;
    if (stamp.text < best.text ||
        (stamp.text == best.text && stamp.nanosecond &&
         (!best.nanosecond || *stamp.nanosecond < *best.nanosecond))) {
      earliest = m;
    }
  }
  return earliest;
}

std::vector<std::uint32_t> RunPass::BurstOrder(std::uint32_t begin, std::uint32_t end) const {
  std::vector<std::uint32_t> order(end - begin);
  for (std::uint32_t p = 0; p < order.size(); ++p) order[p] = begin + p;
  if (!burstOrder_) return order;
  // Per second, the places its units hold in the folder's order.
  std::map<std::string_view, std::vector<std::uint32_t>> seconds;
  std::vector<const FileStamp*> time(order.size(), nullptr);
  for (std::uint32_t p = 0; p < order.size(); ++p) {
    const std::optional<std::uint32_t> earliest = Earliest(units_[order[p]]);
    if (!earliest) continue;
    time[p] = &reads_[*earliest - readsFirst_].stamp;
    seconds[time[p]->text].push_back(p);
  }
  for (const auto& [second, places] : seconds) {
    if (places.size() < 2) continue;
    // Those with a fraction first, by it; then the others as they came.
    std::vector<std::uint32_t> shot = places;
    std::stable_sort(shot.begin(), shot.end(), [&](std::uint32_t a, std::uint32_t b) {
      const auto& x = time[a]->nanosecond;
      const auto& y = time[b]->nanosecond;
      if (x.has_value() != y.has_value()) return x.has_value();
      return x && *x < *y;
    });
    std::vector<std::uint32_t> units;
    for (const std::uint32_t p : shot) units.push_back(order[p]);
    for (size_t k = 0; k < places.size(); ++k) order[places[k]] = units[k];
  }
  return order;
}

bool RunPass::Alone(std::uint32_t file, const Read& read) {
  if (!read.error.ok()) {  // never named after another file's time
    Tell(file, FileOutcome::kTimeUnreadable, TimeReason(read.error));
    return true;
  }
  const std::string& folder = collection_.folder(file);
  const std::string& name = collection_.name(file);
  const FileStamp& stamp = read.stamp;
  if (stamp.noCaptureTime) ++summary_.notTaken;
  std::string extension;
  matcher_.Matches(name, &extension);
  std::string path = folder + name;
  Decision decision =
      planner_.Decide(name, stamp.text, extension, log_.UnfinishedRenameOf(path));
  switch (decision.kind) {
    case Decision::Kind::kAlreadyNamed:
      Tell(file, FileOutcome::kAlreadyNamed);
      return true;
    case Decision::Kind::kNameTaken:
      Tell(file, FileOutcome::kNameTaken);
      return true;
    case Decision::Kind::kRename:
      break;
  }
  if (dryRun_) {
    sink_.PlannedLine(path + std::string(kLogSeparator) + folder + decision.newName);
    Tell(file, FileOutcome::kRenamed, {}, 0, decision.newName, stamp.noCaptureTime);
    return true;
  }
  applier_.Add(std::move(path), folder + decision.newName, stamp.id, decision.leftover,
               stamp.noCaptureTime);
  if (applier_.Full()) {
    if (const auto failures = applier_.Flush(); !failures.empty()) return Stop(failures);
  }
  return true;
}

bool RunPass::Together(const Unit& unit, std::uint32_t group) {
  const std::uint32_t first = unit.first, end = unit.first + unit.count;
  auto fileOf = [&](std::uint32_t m) { return members_[m].file; };
  auto pathOf = [&](std::uint32_t m) {
    return collection_.folder(fileOf(m)) + collection_.name(fileOf(m));
  };
  // The whole group is left as it is for one member that cannot be renamed.
  auto leaveAlone = [&](std::uint32_t reason, FileOutcome outcome, std::string_view why) {
    for (std::uint32_t m = first; m < end; ++m) {
      Tell(fileOf(m), m == reason ? outcome : FileOutcome::kWithGroup,
           m == reason ? why : std::string_view(), group);
    }
    return true;
  };
  for (std::uint32_t m = first; m < end; ++m) {
    if (!Fits(fileOf(m))) return leaveAlone(m, FileOutcome::kNotOnOneLine, {});
  }
  // Each member's identity: from its time where it has one, else asked.
  std::vector<FileId> ids(unit.count);
  for (std::uint32_t m = first; m < end; ++m) {
    ErrorCode error;
    if (members_[m].acts) {
      error = reads_[m - readsFirst_].error;
      ids[m - first] = reads_[m - readsFirst_].stamp.id;
    } else {
      FileTimes times;
      error = fileSystem_.GetFileTimes(pathOf(m), &times);
      ids[m - first] = times.id;
    }
    if (!error.ok()) {
      const std::string reason = TimeReason(error);
      return leaveAlone(m, FileOutcome::kTimeUnreadable, reason);
    }
  }
  // Named after the earliest time: when that is a last-write time for want of a capture time,
  // so is every member.
  const FileStamp& stamp = reads_[*Earliest(unit) - readsFirst_].stamp;
  const bool noCaptureTime = stamp.noCaptureTime;

  std::vector<GroupMember> plan;
  std::string extension;
  for (std::uint32_t m = first; m < end; ++m) {
    const Member& member = members_[m];
    const std::string& name = collection_.name(member.file);
    std::string own = GroupingName(member.file).substr(member.ownPart);
    if (member.acts) {
      // Its checked entry's text, as a file alone gets; a follower's own part only where it
      // ends with it.
      matcher_.Matches(name, &extension);
      if (member.anchor == kSharedStamp) {
        own = extension;
      } else if (own.size() >= extension.size() &&
                 SameFolded(std::string_view(own).substr(own.size() - extension.size()),
                            extension)) {
        own.replace(own.size() - extension.size(), extension.size(), extension);
      }
      if (noCaptureTime) ++summary_.notTaken;
    }
    plan.push_back(GroupMember{name, member.anchor, std::move(own),
                               log_.UnfinishedRenameOf(pathOf(m))});
  }
  const std::vector<Decision> decisions = planner_.DecideGroup(plan, stamp.text);
  if (!dryRun_ && !applier_.Fits(unit.count)) {
    if (const auto failures = applier_.Flush(); !failures.empty()) return Stop(failures);
  }
  for (std::uint32_t m = first; m < end; ++m) {
    const Decision& decision = decisions[m - first];
    switch (decision.kind) {
      case Decision::Kind::kAlreadyNamed:
        Tell(fileOf(m), FileOutcome::kAlreadyNamed, {}, group);
        continue;
      case Decision::Kind::kNameTaken:
        Tell(fileOf(m), FileOutcome::kNameTaken, {}, group);
        continue;
      case Decision::Kind::kRename:
        break;
    }
    const std::string& folder = collection_.folder(fileOf(m));
    if (dryRun_) {
      sink_.PlannedLine(pathOf(m) + std::string(kLogSeparator) + folder + decision.newName);
      Tell(fileOf(m), FileOutcome::kRenamed, {}, group, decision.newName, noCaptureTime);
    } else {
      applier_.Add(pathOf(m), folder + decision.newName, ids[m - first], decision.leftover,
                   noCaptureTime, group);
    }
  }
  if (!dryRun_ && applier_.Full()) {
    if (const auto failures = applier_.Flush(); !failures.empty()) return Stop(failures);
  }
  return true;
}

bool RunPass::Stop(const std::vector<ErrorReport>& failures) {
  for (const ErrorReport& failure : failures) sink_.ShowError(failure);
  summary_.error = failures.front().code;
  return false;
}

void RunPass::Tell(std::uint32_t file, FileOutcome outcome, std::string_view reason,
                   std::uint32_t group, std::string_view newName, bool noCaptureTime) {
  FileReport report;
  report.folder = collection_.folder(file);
  report.name = collection_.name(file);
  report.outcome = outcome;
  report.reason = reason;
  report.group = group;
  report.newName = newName;
  report.noCaptureTime = noCaptureTime;
  summary_.Count(outcome);
  sink_.FileDone(report);
}

}  // namespace tokiren
