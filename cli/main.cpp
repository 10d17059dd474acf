// tokiren-cli: the rename run and Reset without the window, for scripts and tests.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "engine/engine.h"
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
  ConsoleSink() : showProgress_(isatty(STDERR_FILENO) == 1) {}

  void ShowError(const ErrorReport& report) override {
    EndProgressLine();
    std::fprintf(stderr, "%s\n%s\n", report.title.c_str(), AsLines(report.text).c_str());
  }

  void Progress(Phase phase, std::uint64_t done, std::uint64_t total) override {
    if (!showProgress_) return;
    if (phase == Phase::kCollecting) {
      std::fprintf(stderr, "\rcollecting: %llu files", static_cast<unsigned long long>(done));
    } else {
      std::fprintf(stderr, "\rrenaming: %llu of %llu files  ",
                   static_cast<unsigned long long>(done), static_cast<unsigned long long>(total));
    }
    progressShown_ = true;
  }

  void PlannedLine(std::string_view line) override {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fwrite(kLogLineEnd.data(), 1, kLogLineEnd.size(), stdout);
  }

  void EndProgressLine() {
    if (progressShown_) std::fputc('\n', stderr);
    progressShown_ = false;
  }

 private:
  const bool showProgress_;
  bool progressShown_ = false;
};

int Usage(const std::string& error) {
  std::fprintf(stderr, "tokiren-cli: %s\n", error.c_str());
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
    std::fputs(kUsage, stdout);
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
      std::fprintf(stderr, "%llu files renamed\n", static_cast<unsigned long long>(summary.renamed));
    }
    return summary.error.ok() ? kExitOk : kExitFailed;
  }
  const ResetSummary summary = job.Reset();
  std::fprintf(stderr, "%llu files restored", static_cast<unsigned long long>(summary.restored));
  if (summary.failed > 0) {
    std::fprintf(stderr, ", %llu could not be restored", static_cast<unsigned long long>(summary.failed));
  }
  if (summary.damaged > 0) {
    std::fprintf(stderr, ", %llu damaged log lines left alone",
                 static_cast<unsigned long long>(summary.damaged));
  }
  std::fputc('\n', stderr);
  return summary.error.ok() ? kExitOk : kExitFailed;
}

}  // namespace
}  // namespace tokiren

int main(int argc, char** argv) {
  return tokiren::Main(std::vector<std::string>(argv + 1, argv + argc));
}
