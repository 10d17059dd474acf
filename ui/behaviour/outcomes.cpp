// The counts, the reasons and the details.
#include "ui/behaviour/outcomes.h"

#include "ui/behaviour/strings.h"

namespace tokiren::behaviour {

std::string CountsLine(const RunSummary& summary) {
  const struct {
    std::uint64_t count;
    const char* text;
  } counts[] = {
      {summary.renamed, kCountRenamed},
      {summary.alreadyNamed, kCountAlreadyNamed},
      {summary.nameTaken, kCountNameTaken},
      {summary.unreadable, kCountUnreadable},
      {summary.notOnOneLine, kCountNotOnOneLine},
      {summary.withGroup, kCountWithGroup},
  };
  std::string line;
  for (const auto& count : counts) {
    if (count.count == 0) continue;
    if (!line.empty()) line += kCountsJoin;
    line += WithNumber(count.text, count.count);
  }
  if (!line.empty()) line += kCountsEnd;
  return line;
}

std::string WhyText(const FileReport& file) {
  std::string why;
  switch (file.outcome) {
    case FileOutcome::kRenamed:
      if (file.noCaptureTime) why = kWhyNoCaptureTime;
      break;
    case FileOutcome::kAlreadyNamed:
      why = kWhyAlreadyNamed;
      break;
    case FileOutcome::kNameTaken:
      why = kWhyNameTaken;
      break;
    case FileOutcome::kTimeUnreadable:
      why = kWhyUnreadable;
      break;
    case FileOutcome::kChanged:
      why = kWhyChanged;
      break;
    case FileOutcome::kNotOnOneLine:
      why = kWhyNotOnOneLine;
      break;
    case FileOutcome::kWithGroup:
      why = kWhyWithGroup;
      break;
  }
  if (!file.reason.empty()) why += kWhySeparator + std::string(file.reason);
  return why;
}

void Details::Add(const FileReport& file) {
  if (file.outcome == FileOutcome::kAlreadyNamed) return;
  const std::string why = WhyText(file);
  if (why.empty()) return;
  std::string line(file.folder);
  line.append(file.name).append(kWhySeparator).append(why);
  AddLine(std::move(line));
}

void Details::AddNotFound(std::string_view oldPath, std::string_view newPath) {
  std::string line(newPath);
  line.append(kWhySeparator).append(WithText(kWhyNotFound, oldPath));
  AddLine(std::move(line));
}

void Details::AddLine(std::string line) {
  if (lines_.size() < kDetailLines) {
    lines_.push_back(std::move(line));
  } else {
    ++more_;
  }
}

std::string Details::Text() const {
  std::string text;
  for (const std::string& line : lines_) {
    if (!text.empty()) text += kLineEnd;
    text += line;
  }
  if (more_ > 0) text += kLineEnd + WithNumber(kMoreDetails, more_);
  return text;
}

}  // namespace tokiren::behaviour
