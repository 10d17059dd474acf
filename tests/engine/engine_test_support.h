// A sink that records what the engine reports, and a job set up on a temporary tree.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "tests/support/temp_tree.h"

namespace tokiren::testing {

class RecordingSink : public EngineSink {
 public:
  struct ProgressReport {
    Phase phase;
    std::uint64_t done, total;
  };
  void ShowError(const ErrorReport& report) override { errors.push_back(report); }
  void Progress(Phase phase, std::uint64_t done, std::uint64_t total) override {
    progress.push_back({phase, done, total});
  }
  void PlannedLine(std::string_view line) override {
    planned += line;
    planned += kLogLineEnd;
  }
  std::vector<ErrorReport> errors;
  std::vector<ProgressReport> progress;
  std::string planned;  // a dry run's lines, as the log would hold them
};

// A job on `tree`'s folder "photos/" with its log in "app/", acting on the given extensions.
struct JobOnTree {
  JobOnTree(const TempTree& tree, std::vector<ExtensionEntry> extensions,
            FileSystem& fileSystem = SystemFileSystem())
      : job(fileSystem, sink) {
    job.SelectedPath = tree.MakeFolder("photos") + kPathSeparator;
    job.AppPath = tree.MakeFolder("app") + kPathSeparator;
    job.options.extensions = std::move(extensions);
    logPath = job.AppPath + std::string(kLogFileName);
  }
  RecordingSink sink;
  RenameJob job;
  std::string logPath;
};

// The extension list with ".*" and `checked` entries, as the window would hold it.
inline std::vector<ExtensionEntry> Checked(std::vector<std::string> texts, bool all = false) {
  std::vector<ExtensionEntry> list{{".*", all}};
  for (std::string& text : texts) list.push_back({std::move(text), true});
  return list;
}

}  // namespace tokiren::testing
