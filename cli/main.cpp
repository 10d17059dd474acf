// tokiren-cli: the rename run and Reset without the window, for scripts and tests.
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/console.h"
#include "engine/engine.h"
#include "platform/terminal.h"
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

class ConsoleSink final : public EngineSink {
 public:
  ConsoleSink() : showProgress_(IsTerminal(stderr)) {}

  void ShowError(const ErrorReport& report) override {
    EndProgressLine();
    Write(Stream::kErr, report.title + "\n" + AsLines(report.text) + "\n");
  }

  void Progress(Phase phase, std::uint64_t done, std::uint64_t total) override {
    if (!showProgress_) return;
    if (phase == Phase::kCollecting) {
      Write(Stream::kErr, "\rcollecting: " + std::to_string(done) + " files");
    } else {
      Write(Stream::kErr,
            "\rrenaming: " + std::to_string(done) + " of " + std::to_string(total) + " files  ");
    }
    progressShown_ = true;
  }

  void PlannedLine(std::string_view line) override {
    Write(Stream::kOut, std::string(line) + std::string(kLogLineEnd));
  }

  void EndProgressLine() {
    if (progressShown_) Write(Stream::kErr, "\n");
    progressShown_ = false;
  }

 private:
  const bool showProgress_;
  bool progressShown_ = false;
};

int Usage(const std::string& error) {
  Write(Stream::kErr, "tokiren-cli: " + error + "\n");
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
  CommandLine line;
  std::string error;
  if (!ParseCommandLine(args, &line, &error)) return Usage(error);
  if (line.command == CommandLine::Command::kHelp) {
    Write(Stream::kOut, kUsage);
    return kExitOk;
  }

  ConsoleSink sink;
  RenameJob job(SystemFileSystem(), sink);
  if (!LogFolder(line, &job.AppPath)) return Usage("the log folder cannot be found");
  if (line.command == CommandLine::Command::kRun) {
    if (!ResolveFolder(line.folder, &job.SelectedPath).ok()) {
      return Usage("'" + line.folder + "' is not a folder");
    }
    job.options = line.options;
    const RunSummary summary = job.Run(line.dryRun ? RunMode::kDryRun : RunMode::kRename);
    sink.EndProgressLine();
    if (!line.dryRun) {
      Write(Stream::kErr, std::to_string(summary.renamed) + " files renamed\n");
    }
    return summary.error.ok() ? kExitOk : kExitFailed;
  }
  const ResetSummary summary = job.Reset();
  std::string restored = std::to_string(summary.restored) + " files restored";
  if (summary.failed > 0) restored += ", " + std::to_string(summary.failed) + " could not be restored";
  if (summary.damaged > 0) {
    restored += ", " + std::to_string(summary.damaged) + " damaged log lines left alone";
  }
  Write(Stream::kErr, restored + "\n");
  return summary.error.ok() ? kExitOk : kExitFailed;
}

}  // namespace
}  // namespace tokiren

int main(int argc, char** argv) {
  return tokiren::Main(tokiren::ProgramArguments(argc, argv));
}
