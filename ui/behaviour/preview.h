// The preview of a run: every file the run would act on, in the run's order, with its planned new
// name or why it would be left alone, the members of a group of companions joined by a mark, and
// the counts and the clock's offset above. Kept compactly (a few bytes beside the names themselves
// per row), so that a million rows fit, and read a cell at a time by a virtual list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/engine.h"

namespace tokiren::behaviour {

class Preview {
 public:
  enum Column { kFolder, kName, kNewName, kNote };
  static constexpr int kColumns = 4;

  // `folder`: the chosen folder, ending with its separator. `clockShift`: the seconds the run adds
  // to every time (RunOptions::clockShift).
  explicit Preview(std::string folder, std::int64_t clockShift = 0);

  // The next file of the plan. The members of a group come one after another, sharing its number.
  void Add(const FileReport& file);

  const std::string& folder() const { return folder_; }
  std::size_t size() const { return rows_.size(); }
  // The text of one cell: the file's folder below the chosen one ("." for the chosen folder
  // itself), its name, its new name (none for a file left alone), and why it is left alone or
  // named otherwise than asked (WhyText). The name of a group's member follows a mark that joins
  // it to the others: "┌ " for the first, "├ " for those between, "└ " for the last. `row` <
  // size(), `column` < kColumns.
  std::string Cell(std::size_t row, int column) const;
  FileOutcome Outcome(std::size_t row) const { return rows_[row].outcome; }
  static const char* ColumnTitle(int column);

  // The counts of the outcomes, as the files were added.
  const RunSummary& summary() const { return summary_; }
  // How many groups of companions (two files or more) the plan holds.
  std::uint64_t groups() const { return groups_; }
  // The lines above the list, joined by kLineEnd: the counts of the outcomes that occurred
  // (CountsLine); the clock's offset, where there is one; what the group marks mean, where there
  // are groups; and what RUN does afterwards.
  std::string Heading() const;

 private:
  // Where a row stands in its group.
  enum class Member : std::uint8_t {
    kAlone,  // no group, or the only member so far of one
    kFirst,
    kBetween,
    kLast,
  };
  static const char* GroupMark(Member member);

  struct Row {
    std::uint64_t text;    // where the name starts in text_: the name, NUL, the new name, NUL
    std::uint32_t folder;  // in folders_
    std::uint16_t note;    // in notes_
    FileOutcome outcome;
    Member member;
  };

  std::string folder_;
  std::int64_t clockShift_;
  std::uint32_t lastGroup_ = 0;  // the group of the last row added
  std::uint64_t groups_ = 0;
  std::vector<std::string> folders_;  // below folder_, without the separator at the end
  std::vector<std::string> notes_;    // each note once; 0 is ""
  std::unordered_map<std::string, std::uint16_t> noteIndex_;
  std::string text_;
  std::vector<Row> rows_;
  RunSummary summary_;
};

}  // namespace tokiren::behaviour
