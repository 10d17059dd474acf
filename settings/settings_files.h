// The two settings files in the program's folder: the extension list and the kept folder.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace tokiren {

inline constexpr std::string_view kExtensionListFileName = "tokiren";
inline constexpr std::string_view kKeptFolderFileName = "tokirenfolder";

// Reads values in delimited-text style: a value ends at a comma or a line end (CR LF, LF or CR);
// blanks and tabs before a value are skipped; a value in double quotes loses its quotes and may
// hold commas (anything after its closing quote, up to the next comma or line end, is dropped).
// Empty values are left out: no entry and no folder is empty.
std::vector<std::string> ReadDelimitedValues(std::string_view contents);

// The files of one program folder. Each file is written in UTF-8 with CR LF line ends and replaced
// whole or not at all; a file that is not valid UTF-8 was written by an older program and is read
// in the system's code page (TextFromSystemCodePage). A missing file reads as no values and is not an error.
class SettingsFiles {
 public:
  SettingsFiles(FileSystem& fileSystem, std::string AppPath);

  std::string ExtensionListPath() const;
  std::string KeptFolderPath() const;

  // Every value of the extension-list file, in file order; none when there is no file.
  ErrorCode LoadExtensionList(std::vector<std::string>* values) const;
  // Writes `entries`, one per line, in the order given.
  ErrorCode SaveExtensionList(const std::vector<std::string>& entries) const;

  // The first value of the kept-folder file; `DefaultPath` is left alone when there is none.
  ErrorCode LoadKeptFolder(std::string* DefaultPath) const;
  // Writes `SelectedPath` as the file's one line; does nothing while AppPath is empty.
  ErrorCode SaveKeptFolder(const std::string& SelectedPath) const;

 private:
  ErrorCode ReadValues(const std::string& path, std::vector<std::string>* values) const;

  FileSystem& fileSystem_;
  std::string AppPath_;
};

// The folder that holds the log and the settings files: the executable's folder where the user
// may write it, otherwise the user's data folder (created when missing), so that an installed copy
// works too. The window and tokiren-cli decide alike, and so share one log. Where the window's
// program itself is called "tokiren" (POSIX has no ".exe"), the extension-list file cannot stand
// beside it, so its folder is passed over the same way.
std::string ChooseProgramFolder();
std::string ChooseProgramFolder(const std::string& executableFolder);

// The program's own files that a run must never rename, whatever is checked: the two settings
// files of `programFolder` and the program's executables beside the running one.
std::vector<std::string> ProgramOwnFiles(const std::string& programFolder);

}  // namespace tokiren
