// The preview of a run: every file the run would act on, in the run's order, with its planned new
// name or why it would be left alone, and the counts. Kept compactly (a few bytes beside the names
// themselves per row), so that a million rows fit, and read a cell at a time by a virtual list.
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

  // `folder`: the chosen folder, ending with its separator.
  explicit Preview(std::string folder);

  // The next file of the plan.
  void Add(const FileReport& file);

  const std::string& folder() const { return folder_; }
  std::size_t size() const { return rows_.size(); }
  // The text of one cell: the file's folder below the chosen one ("." for the chosen folder
  // itself), its name, its new name (none for a file left alone), and why it is left alone or
  // named otherwise than asked (WhyText). `row` < size(), `column` < kColumns.
  std::string Cell(std::size_t row, int column) const;
  FileOutcome Outcome(std::size_t row) const { return rows_[row].outcome; }
  static const char* ColumnTitle(int column);

  // The counts of the outcomes, as the files were added.
  const RunSummary& summary() const { return summary_; }
  // The lines above the list: the counts of the outcomes that occurred (CountsLine), then what
  // RUN does afterwards, joined by kLineEnd.
  std::string Heading() const;

 private:
  struct Row {
    std::uint64_t text;    // where the name starts in text_: the name, NUL, the new name, NUL
    std::uint32_t folder;  // in folders_
    std::uint16_t note;    // in notes_
    FileOutcome outcome;
  };

  std::string folder_;
  std::vector<std::string> folders_;  // below folder_, without the separator at the end
  std::vector<std::string> notes_;    // each note once; 0 is ""
  std::unordered_map<std::string, std::uint16_t> noteIndex_;
  std::string text_;
  std::vector<Row> rows_;
  RunSummary summary_;
};

}  // namespace tokiren::behaviour
