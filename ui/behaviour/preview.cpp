// The preview's rows.
#include "ui/behaviour/preview.h"

#include <cstring>
#include <limits>

#include "ui/behaviour/outcomes.h"
#include "ui/behaviour/shift.h"
#include "ui/behaviour/strings.h"

namespace tokiren::behaviour {

Preview::Preview(std::string folder, std::int64_t clockShift)
    : folder_(std::move(folder)), clockShift_(clockShift), notes_{""} {
  noteIndex_.emplace("", 0);
}

void Preview::Add(const FileReport& file) {
  summary_.Count(file.outcome);
  if (file.outcome == FileOutcome::kRenamed && file.noCaptureTime) ++summary_.notTaken;

  // The engine goes folder by folder: a file's folder is most often the last one's.
  std::string_view below = file.folder;
  if (below.starts_with(folder_)) below.remove_prefix(folder_.size());
  if (!below.empty() && below.back() == kPathSeparator) below.remove_suffix(1);
  if (folders_.empty() || folders_.back() != below) folders_.emplace_back(below);

  const std::string why = WhyText(file);
  auto note = noteIndex_.find(why);
  if (note == noteIndex_.end()) {
    // Notes differ only by the system's words, of which there are few; past the last index one
    // more kind of words is told without them.
    if (notes_.size() <= std::numeric_limits<std::uint16_t>::max()) {
      note = noteIndex_.emplace(why, static_cast<std::uint16_t>(notes_.size())).first;
      notes_.push_back(why);
    } else {
      FileReport plain = file;
      plain.reason = {};
      note = noteIndex_.find(WhyText(plain));
      if (note == noteIndex_.end()) note = noteIndex_.find("");
    }
  }

  // A member after the first of its group joins the row before it, which stops being the last.
  Member member = Member::kAlone;
  if (file.group != 0 && file.group == lastGroup_ && !rows_.empty()) {
    Member& before = rows_.back().member;
    if (before == Member::kAlone) {
      before = Member::kFirst;
      ++groups_;
    } else if (before == Member::kLast) {
      before = Member::kBetween;
    }
    member = Member::kLast;
  }
  lastGroup_ = file.group;

  rows_.push_back(Row{text_.size(), static_cast<std::uint32_t>(folders_.size() - 1), note->second,
                      file.outcome, member});
  text_.append(file.name).push_back('\0');
  if (file.outcome == FileOutcome::kRenamed) text_.append(file.newName);
  text_.push_back('\0');
}

const char* Preview::GroupMark(Member member) {
  switch (member) {
    case Member::kFirst:
      return kPreviewFirstMember;
    case Member::kBetween:
      return kPreviewMemberBetween;
    case Member::kLast:
      return kPreviewLastMember;
    case Member::kAlone:
      break;
  }
  return "";
}

std::string Preview::Cell(std::size_t row, int column) const {
  const Row& r = rows_[row];
  switch (column) {
    case kFolder: {
      const std::string& folder = folders_[r.folder];
      return folder.empty() ? std::string(kPreviewTopFolder) : folder;
    }
    case kName:
      return std::string(GroupMark(r.member)) + (text_.data() + r.text);
    case kNewName: {
      const char* name = text_.data() + r.text;
      return name + std::strlen(name) + 1;
    }
    case kNote:
      return notes_[r.note];
    default:
      return {};
  }
}

const char* Preview::ColumnTitle(int column) {
  switch (column) {
    case kFolder:
      return kPreviewFolderColumn;
    case kName:
      return kPreviewNameColumn;
    case kNewName:
      return kPreviewNewNameColumn;
    case kNote:
      return kPreviewNoteColumn;
    default:
      return "";
  }
}

std::string Preview::Heading() const {
  std::string heading = CountsLine(summary_);
  const auto line = [&heading](const std::string& text) {
    if (!heading.empty()) heading += kLineEnd;
    heading += text;
  };
  if (clockShift_ != 0) line(WithText(kPreviewShift, ShiftText(clockShift_)));
  if (groups_ > 0) line(WithNumber(kPreviewGroups, groups_));
  line(kPreviewRunAgain);
  return heading;
}

}  // namespace tokiren::behaviour
