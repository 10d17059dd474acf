// tokiren-cli: the rename run and Reset without the window, for scripts and tests.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/terminal_text.h"
#include "engine/engine.h"
#include "media/capture_times.h"
#include "platform/console.h"
#include "settings/settings_files.h"

namespace tokiren {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// A message box's text on a terminal: its CR LF and lone CR become line ends.
std::string AsLines(const std::string& text) {
  std::string lines;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      lines += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      lines += text[i];
    }
  }
  return lines;
}

// Names go out as their exact bytes, but to a terminal with every control character escaped, so
// a file name cannot rewrite the screen of whoever runs the program.
class Output {
 public:
  explicit Output(std::FILE* stream) : stream_(stream), terminal_(IsTerminal(stream)) {}
  bool terminal() const { return terminal_; }
  void Write(std::string_view text) const {
    const std::string escaped = terminal_ ? ShownOnTerminal(text) : std::string();
    const std::string_view shown = terminal_ ? std::string_view(escaped) : text;
    WriteText(stream_, shown);
  }
  void Line(std::string_view text) const {
    Write(text);
    WriteText(stream_, "\n");
  }

 private:
  std::FILE* stream_;
  bool terminal_;
};

// The progress goes to stderr on a terminal as one line, rewritten in place, and never shares a
// line with anything else: it is erased before any other text is written to the terminal (and
// shown again at the next step), and when the work ends.
class ConsoleSink final : public EngineSink {
 public:
  ConsoleSink(bool dryRun, bool list)
      : out_(stdout), err_(stderr), showProgress_(err_.terminal()), dryRun_(dryRun), list_(list) {}

  void ShowError(const ErrorReport& report) override {
    EraseProgress();
    err_.Line(report.title);
    // The table's message, then what was being handled, a path on each line.
    std::string text = AsLines(report.text);
    if (!text.empty() && text.back() == '\n') text.pop_back();
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
      err_.Line(std::string_view(text).substr(start, end - start));
    }
    err_.Line(std::string_view(text).substr(start));
    if (!report.detail.empty()) {
      std::fputs("tokiren-cli: ", stderr);
      err_.Line(report.detail);
    }
  }

  // The files left alone for a reason the user must see, always; with --list, every file that is
  // not renamed.
  void FileDone(const FileReport& file) override {
    std::string_view what;
    switch (file.outcome) {
      case FileOutcome::kRenamed:
        return;
      case FileOutcome::kTimeUnreadable:
      case FileOutcome::kChanged:
        what = "left alone, its time cannot be read: ";
        break;
      case FileOutcome::kAlreadyNamed:
        what = "already named: ";
        break;
      case FileOutcome::kNameTaken:
        what = "left alone, the name is taken: ";
        break;
      case FileOutcome::kNotOnOneLine:
        what = "left alone, its path holds a line break: ";
        break;
      case FileOutcome::kWithGroup:
        what = "left alone with its companions: ";
        break;
    }
    if (file.reason.empty() && !list_) return;
    EraseProgress();
    std::fputs("tokiren-cli: ", stderr);
    std::fwrite(what.data(), 1, what.size(), stderr);
    err_.Write(std::string(file.folder) + std::string(file.name));
    if (file.reason.empty()) {
      std::fputs("\n", stderr);
    } else {
      std::fprintf(stderr, ": %.*s\n", static_cast<int>(file.reason.size()), file.reason.data());
    }
  }

  // Drawn at most ten times a second, and at the end of each phase.
  void Progress(Phase phase, std::uint64_t done, std::uint64_t total) override {
    if (!showProgress_) return;
    const auto now = std::chrono::steady_clock::now();
    if (phase == lastPhase_ && done != total && now - lastDrawn_ < std::chrono::milliseconds(100)) {
      return;
    }
    lastPhase_ = phase;
    lastDrawn_ = now;
    const auto n = [](std::uint64_t number) { return std::to_string(number); };
    if (phase == Phase::kCollecting) {
      ShowProgress("collecting: " + n(done) + " files");
    } else if (phase == Phase::kResetting) {  // bytes of the log: only the share tells anything
      ShowProgress("resetting: " + n(total == 0 ? 100 : done * 100 / total) + " % of the log");
    } else {
      ShowProgress((dryRun_ ? "planning: " : "renaming: ") + n(done) + " of " + n(total) +
                   " files");
    }
  }

  // To a file or a pipe, the exact bytes the log would hold; to a terminal, escaped.
  void PlannedLine(std::string_view line) override {
    if (out_.terminal()) {
      EraseProgress();
      out_.Line(line);
      return;
    }
    out_.Write(line);
    out_.Write(kLogLineEnd);
  }

  // Blanks the progress line and leaves the cursor at its start.
  void EraseProgress() {
    if (progressWidth_ == 0) return;
    std::fprintf(stderr, "\r%*s\r", static_cast<int>(progressWidth_), "");
    progressWidth_ = 0;
  }

 private:
  // `text` is ASCII: one column a character.
  void ShowProgress(const std::string& text) {
    const size_t blanks = progressWidth_ > text.size() ? progressWidth_ - text.size() : 0;
    std::fprintf(stderr, "\r%s%*s", text.c_str(), static_cast<int>(blanks), "");
    progressWidth_ = std::max(progressWidth_, text.size());
  }

  const Output out_;
  const Output err_;
  const bool showProgress_;
  const bool dryRun_;
  const bool list_;
  std::optional<Phase> lastPhase_;
  std::chrono::steady_clock::time_point lastDrawn_;
  size_t progressWidth_ = 0;  // the columns the progress line takes; 0 when none is shown
};

// Whether anything at all stands at `path` (UTF-8), to tell a missing folder from a file.
bool AnythingAt(const std::string& path) {
  std::error_code error;
  const std::u8string utf8(path.begin(), path.end());
  return std::filesystem::exists(std::filesystem::path(utf8), error);
}

int Usage(const std::string& error) {
  std::fputs("tokiren-cli: ", stderr);
  Output(stderr).Line(error);
  return kExitUsage;
}

// The folder of the log: --log-dir, else the program's folder, as the window chooses it.
bool LogFolder(const CommandLine& line, std::string* folder) {
  if (line.logDir.empty()) {
    *folder = ChooseProgramFolder();
    return !folder->empty();
  }
  return ResolveFolder(line.logDir, folder).ok();
}

int Main(const std::vector<std::string>& args) {
  if (args.empty()) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  CommandLine line;
  std::string error;
  if (!ParseCommandLine(args, &line, &error)) return Usage(error);
  if (line.command == CommandLine::Command::kVersion) {
    std::printf("%s\n", kVersionLine);
    return kExitOk;
  }
  if (line.command == CommandLine::Command::kHelp) {
    std::fputs(kUsage, stdout);
    if (!CanReadCaptureTimes()) {
      std::fputs("\n--taken is not available on this system: it reads no photo or video "
                 "metadata.\n", stdout);
    }
    return kExitOk;
  }

  ConsoleSink sink(line.command == CommandLine::Command::kRun && line.dryRun, line.list);
  RenameJob job(SystemFileSystem(), sink);
  job.jobs = line.jobs;
  if (!LogFolder(line, &job.AppPath)) return Usage("the log folder cannot be found");
  job.ProtectedFiles = ProgramOwnFiles(line.logDir.empty() ? job.AppPath : ChooseProgramFolder());
  if (line.command == CommandLine::Command::kRun) {
    if (!ResolveFolder(line.folder, &job.SelectedPath).ok()) {
      return Usage("'" + line.folder + "'" +
                   (AnythingAt(line.folder) ? " is not a folder" : " does not exist"));
    }
    job.options = line.options;
    std::unique_ptr<CaptureTimeReader> captureTimes;
    if (line.options.timeSource == TimeSource::kTaken) {
      captureTimes = MakeCaptureTimeReader(line.helpers);
      if (!captureTimes) return Usage("--taken is not available on this system");
      job.captureTimes = captureTimes.get();
    }
    const RunSummary summary = job.Run(line.dryRun ? RunMode::kDryRun : RunMode::kRename);
    sink.EraseProgress();
    std::fputs(RunCountLines(summary, line.dryRun).c_str(), stderr);
    return summary.error.ok() && summary.unreadable == 0 ? kExitOk : kExitFailed;
  }
  const ResetSummary summary = job.Reset();
  sink.EraseProgress();
  std::fputs(ResetCountLine(summary).c_str(), stderr);
  return summary.error.ok() && summary.notFound == 0 ? kExitOk : kExitFailed;
}

}  // namespace
}  // namespace tokiren

int main(int argc, char** argv) {
  return tokiren::Main(tokiren::StartConsole(argc, argv));
}
