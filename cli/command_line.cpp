// Parsing tokiren-cli's arguments.
#include "cli/command_line.h"

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "engine/clock_shift.h"
#include "engine/extension_entry.h"
#include "engine/time_read_ahead.h"

namespace tokiren {

const char kUsage[] =
    "Usage:\n"
    "  tokiren-cli run FOLDER (--ext EXT [--ext EXT ...] | --all) [--separator]\n"
    "              [--no-count-up] [--creation | --taken [--helpers N]] [--shift OFFSET]\n"
    "              [--companions] [--dry-run] [--list]\n"
    "              [--log-dir DIR] [--jobs N]\n"
    "  tokiren-cli reset [--log-dir DIR] [--jobs N]\n"
    "  tokiren-cli --help | --version\n"
    "\n"
    "run    Renames every file below FOLDER whose name ends with a chosen extension to its time\n"
    "       stamp, e.g. photo.jpg -> 20160830124842.JPG, and writes each rename to the log.\n"
    "  --ext EXT       act on files ending with EXT (any case); \"jpg\", \".JPG\" and \"*.jpg\" are\n"
    "                  the same; several at once with commas: --ext jpg,png\n"
    "  --all           act on every file; each keeps its own extension, upper-cased\n"
    "  --separator     put \"_\" after the year and after the day: 2016_0830_124842\n"
    "  --no-count-up   leave a file alone when its new name is taken (default: count the\n"
    "                  stamp up by one until a name is free)\n"
    "  --creation      use the creation time instead of the last-write time\n"
    "  --taken         use the moment a photo or video was taken, from its metadata; files\n"
    "                  without one are named after their last-write time\n"
    "  --helpers N     with --taken: read N files at once, each in a helper process of its own\n"
    "                  (1 to 16; default 2)\n"
    "  --shift OFFSET  add OFFSET to every time, for a camera whose clock was set wrong:\n"
    "                  +1:00:00, -0:03:20, +2d 0:00:00 (the files are not changed)\n"
    "  --companions    rename the files of a folder that share a name up to its last dot\n"
    "                  (IMG_0001.CR2, IMG_0001.JPG, IMG_0001.xmp) and sidecars named after a\n"
    "                  whole name (IMG_0001.JPG.xmp) together, under the earliest stamp of\n"
    "                  those a chosen extension matches; a group is renamed whole or not at all\n"
    "  --dry-run       print the log lines the run would write, and change nothing\n"
    "  --list          name every file that is not renamed, and why\n"
    "reset  Renames the files of the last run back to their former names, from the log. Lines\n"
    "       whose file is found at neither name stay in the log for a later reset.\n"
    "  --log-dir DIR   the folder holding the log (default: the program's folder, shared with\n"
    "                  the window)\n"
    "  --jobs N        make up to N calls on the files at once (1 to 64; 1: one after another):\n"
    "                  a share answers each call after a round trip. Default: 16 where the\n"
    "                  first calls are slow, one after another on a local disk\n"
    "\n"
    "Exit status: 0 done; 1 an error stopped the work, or files were left as they were because\n"
    "their time could not be read (run) or they were not found (reset), each said on stderr;\n"
    "2 bad arguments. Names are shown escaped on a terminal, as ls -b shows them.\n";

const char kVersionLine[] = "tokiren-cli " TOKIREN_VERSION;

namespace {

// One count and its noun: "1 file", "2 files".
std::string Counted(std::uint64_t count, std::string_view one, std::string_view many) {
  return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

// The entries of one --ext value, which may list several with commas.
bool TakeExtensions(const std::string& value, std::vector<std::string>* extensions,
                    std::string* error) {
  size_t start = 0;
  for (;;) {
    const size_t comma = value.find(',', start);
    const std::string typed = value.substr(start, comma - start);
    const TypedExtension read = ExtensionFromTyped(typed);
    switch (read.fault) {
      case ExtensionFault::kNone:
        extensions->push_back(read.entry);
        break;
      case ExtensionFault::kEmpty:
        *error = "--ext needs an extension, such as --ext jpg";
        return false;
      case ExtensionFault::kForbiddenCharacter:
        *error = "--ext '" + typed +
                 "': an extension holds none of \\ / : * ? \" < > | nor control characters";
        return false;
      case ExtensionFault::kTooLong:
        *error = "--ext: an extension is at most " + std::to_string(kLongestExtensionEntry) +
                 " bytes with its dot";
        return false;
    }
    if (comma == std::string::npos) return true;
    start = comma + 1;
  }
}

// Takes the value of `--name VALUE` or `--name=VALUE` at args[*i].
bool TakeValue(const std::vector<std::string>& args, size_t* i, const std::string& name,
               std::string* value, std::string* error) {
  const std::string& arg = args[*i];
  if (arg.size() > name.size() && arg.compare(0, name.size() + 1, name + "=") == 0) {
    *value = arg.substr(name.size() + 1);
    return true;
  }
  if (*i + 1 >= args.size()) {
    *error = name + " needs a value";
    return false;
  }
  *value = args[++*i];
  return true;
}

bool Matches(const std::string& arg, const std::string& name) {
  return arg == name || arg.starts_with(name + "=");
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string>& args, CommandLine* line, std::string* error) {
  *line = CommandLine{};
  if (args.empty()) {
    *error = "give a command (try --help)";
    return false;
  }
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    line->command = CommandLine::Command::kHelp;
    return true;
  }
  if (args[0] == "--version") {
    line->command = CommandLine::Command::kVersion;
    return true;
  }
  if (args[0] == "run") {
    line->command = CommandLine::Command::kRun;
  } else if (args[0] == "reset") {
    line->command = CommandLine::Command::kReset;
  } else {
    *error = "unknown command '" + args[0] + "' (try --help)";
    return false;
  }

  const bool run = line->command == CommandLine::Command::kRun;
  bool all = false;
  std::vector<std::string> extensions;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string value;
    if (arg == "--help" || arg == "-h") {
      line->command = CommandLine::Command::kHelp;
      return true;
    } else if (Matches(arg, "--log-dir")) {
      if (!TakeValue(args, &i, "--log-dir", &line->logDir, error)) return false;
      if (line->logDir.empty()) {
        *error = "--log-dir needs a folder";
        return false;
      }
    } else if (Matches(arg, "--jobs")) {
      if (!TakeValue(args, &i, "--jobs", &value, error)) return false;
      char* end = nullptr;
      const long jobs = std::strtol(value.c_str(), &end, 10);
      if (value.empty() || *end != '\0' || jobs < 1 || jobs > kMostJobs) {
        *error = "--jobs needs a number from 1 to " + std::to_string(kMostJobs);
        return false;
      }
      line->jobs = static_cast<int>(jobs);
    } else if (run && Matches(arg, "--ext")) {
      if (!TakeValue(args, &i, "--ext", &value, error)) return false;
      if (!TakeExtensions(value, &extensions, error)) return false;
    } else if (run && arg == "--all") {
      all = true;
    } else if (run && arg == "--separator") {
      line->options.separator = true;
    } else if (run && arg == "--no-count-up") {
      line->options.countUp = false;
    } else if (run && (arg == "--creation" || arg == "--taken")) {
      const TimeSource source = arg == "--taken" ? TimeSource::kTaken : TimeSource::kCreation;
      if (line->options.timeSource != TimeSource::kLastWrite &&
          line->options.timeSource != source) {
        *error = "give either --creation or --taken, not both";
        return false;
      }
      line->options.timeSource = source;
    } else if (run && Matches(arg, "--helpers")) {
      if (!TakeValue(args, &i, "--helpers", &value, error)) return false;
      char* end = nullptr;
      const long helpers = std::strtol(value.c_str(), &end, 10);
      if (value.empty() || *end != '\0' || helpers < 1 || helpers > kMostHelpers) {
        *error = "--helpers needs a number from 1 to " + std::to_string(kMostHelpers);
        return false;
      }
      line->helpers = static_cast<int>(helpers);
    } else if (run && Matches(arg, "--shift")) {
      if (!TakeValue(args, &i, "--shift", &value, error)) return false;
      const std::optional<std::int64_t> shift = ParseClockShift(value);
      if (!shift) {
        *error = "--shift '" + value +
                 "' is not an offset: give days, hours, minutes and seconds, such as +1:00:00, "
                 "-0:03:20 or +2d 0:00:00";
        return false;
      }
      line->options.clockShift = *shift;
    } else if (run && arg == "--companions") {
      line->options.companions = true;
    } else if (run && arg == "--dry-run") {
      line->dryRun = true;
    } else if (run && arg == "--list") {
      line->list = true;
    } else if (run && !arg.starts_with("--") && line->folder.empty() && !arg.empty()) {
      line->folder = arg;
    } else {
      *error = "unexpected argument '" + arg + "' (try --help)";
      return false;
    }
  }

  if (!run) return true;
  if (line->folder.empty()) {
    *error = "run needs a FOLDER";
    return false;
  }
  if (all == !extensions.empty()) {
    *error = all ? "give either --ext or --all, not both" : "give --ext EXT or --all";
    return false;
  }
  // The same list the window would hold with these entries checked.
  std::vector<ExtensionEntry>& list = line->options.extensions;
  list.push_back(ExtensionEntry{std::string(kAllFilesEntry), all});
  for (const std::string& text : extensions) {
    const auto same = std::find_if(list.begin(), list.end(),
                                   [&](const ExtensionEntry& entry) { return entry.text == text; });
    if (same == list.end()) {
      list.push_back(ExtensionEntry{text, true});
    } else {
      same->checked = true;  // "--ext .*" checks the every-file entry
    }
  }
  std::stable_sort(list.begin(), list.end(), ListOrderLess);
  return true;
}

std::string RunCountLines(const RunSummary& summary, bool dryRun) {
  // The outcomes that occurred, on one line; the renames always, but for a dry run's, whose lines
  // are its output.
  std::vector<std::string> outcomes;
  if (!dryRun) outcomes.push_back(Counted(summary.renamed, "file renamed", "files renamed"));
  if (summary.alreadyNamed > 0) outcomes.push_back(std::to_string(summary.alreadyNamed) + " already named");
  if (summary.nameTaken > 0) {
    outcomes.push_back(std::to_string(summary.nameTaken) + " left alone: the name was taken");
  }
  if (summary.withGroup > 0) {
    outcomes.push_back(std::to_string(summary.withGroup) + " left alone with their companions");
  }
  std::string lines;
  for (const std::string& outcome : outcomes) {
    lines += (lines.empty() ? "" : ", ") + outcome;
  }
  if (!lines.empty()) lines += "\n";
  if (summary.notTaken > 0) {
    lines += Counted(summary.notTaken, "file", "files") +
             (summary.notTaken == 1
                  ? " had no capture time and was named after its last-write time\n"
                  : " had no capture time and were named after their last-write time\n");
  }
  if (summary.unreadable > 0) {
    lines += Counted(summary.unreadable, "file", "files") +
             (summary.unreadable == 1 ? " left alone: its time could not be read\n"
                                      : " left alone: their time could not be read\n");
  }
  if (summary.notOnOneLine > 0) {
    lines += Counted(summary.notOnOneLine, "file", "files") +
             (summary.notOnOneLine == 1 ? " left alone: its path holds a line break\n"
                                        : " left alone: their paths hold a line break\n");
  }
  return lines;
}

std::string ResetCountLine(const ResetSummary& summary) {
  std::string line = Counted(summary.restored, "file restored", "files restored");
  if (summary.failed > 0) line += ", " + std::to_string(summary.failed) + " could not be restored";
  if (summary.notFound > 0) {
    line += ", " + std::to_string(summary.notFound) +
            " not found and kept in the log for a later Reset";
  }
  if (summary.damaged > 0) {
    line += ", " + Counted(summary.damaged, "damaged log line", "damaged log lines") + " left alone";
  }
  return line + "\n";
}

}  // namespace tokiren
