// The settings files.
#include "settings/settings_files.h"

#include "platform/program_folder.h"
#include "platform/text.h"

namespace tokiren {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

}  // namespace

std::vector<std::string> ReadDelimitedValues(std::string_view contents) {
  std::vector<std::string> values;
  size_t i = 0;
  const size_t n = contents.size();
  while (i < n) {
    while (i < n && (contents[i] == ' ' || contents[i] == '\t')) ++i;
    std::string value;
    if (i < n && contents[i] == '"') {
      const size_t close = contents.find_first_of("\"\r\n", i + 1);
      const size_t end = close == std::string_view::npos ? n : close;
      value = contents.substr(i + 1, end - i - 1);
      i = end < n && contents[end] == '"' ? end + 1 : end;
      while (i < n && contents[i] != ',' && !IsLineEnd(contents[i])) ++i;
    } else {
      const size_t start = i;
      while (i < n && contents[i] != ',' && !IsLineEnd(contents[i])) ++i;
      value = contents.substr(start, i - start);
    }
    if (i < n) {
      if (contents[i] == '\r' && i + 1 < n && contents[i + 1] == '\n') ++i;
      ++i;  // the comma or the line end
    }
    if (!value.empty()) values.push_back(std::move(value));
  }
  return values;
}

SettingsFiles::SettingsFiles(FileSystem& fileSystem, std::string AppPath)
    : fileSystem_(fileSystem), AppPath_(std::move(AppPath)) {}

std::string SettingsFiles::ExtensionListPath() const {
  return AppPath_ + std::string(kExtensionListFileName);
}

std::string SettingsFiles::KeptFolderPath() const {
  return AppPath_ + std::string(kKeptFolderFileName);
}

ErrorCode SettingsFiles::ReadValues(const std::string& path,
                                    std::vector<std::string>* values) const {
  values->clear();
  if (!fileSystem_.FileExists(path)) return kSuccess;
  std::string contents;
  const ErrorCode error = fileSystem_.ReadTextFile(path, &contents);
  // A file that is not UTF-8 was written by an older program in the system's code page.
  if (error.ok() && !IsValidUtf8(contents)) contents = TextFromSystemCodePage(contents);
  if (error.ok()) *values = ReadDelimitedValues(contents);
  return error;
}

ErrorCode SettingsFiles::LoadExtensionList(std::vector<std::string>* values) const {
  return ReadValues(ExtensionListPath(), values);
}

ErrorCode SettingsFiles::SaveExtensionList(const std::vector<std::string>& entries) const {
  std::string contents;
  for (const std::string& entry : entries) {
    contents += entry;
    contents += kLineEnd;
  }
  return fileSystem_.ReplaceTextFile(ExtensionListPath(), contents);
}

ErrorCode SettingsFiles::LoadKeptFolder(std::string* DefaultPath) const {
  std::vector<std::string> values;
  const ErrorCode error = ReadValues(KeptFolderPath(), &values);
  if (!values.empty()) *DefaultPath = values.front();
  return error;
}

ErrorCode SettingsFiles::SaveKeptFolder(const std::string& SelectedPath) const {
  if (AppPath_.empty()) return kSuccess;
  return fileSystem_.ReplaceTextFile(KeptFolderPath(), SelectedPath + std::string(kLineEnd));
}

std::string ChooseProgramFolder() { return ChooseProgramFolder(ExecutableFolder()); }

std::vector<std::string> ProgramOwnFiles(const std::string& programFolder) {
  std::vector<std::string> files;
  if (!programFolder.empty()) {
    files.push_back(programFolder + std::string(kExtensionListFileName));
    files.push_back(programFolder + std::string(kKeptFolderFileName));
  }
  const std::string executables = ExecutableFolder();
  if (!executables.empty()) {
    for (const char* name : {"tokiren", "tokiren-cli", "tokiren-media-helper", "tokiren.exe",
                             "tokiren-cli.exe", "tokiren-media-helper.exe"}) {
      files.push_back(executables + name);
    }
  }
  return files;
}

std::string ChooseProgramFolder(const std::string& executableFolder) {
  const bool listFileTaken =
      IsProgramFile(executableFolder + std::string(kExtensionListFileName));
  if (CanWriteFolder(executableFolder) && !listFileTaken) return executableFolder;
  const std::string userFolder = UserDataFolder();
  if (userFolder.empty()) return executableFolder;
  MakeFolders(userFolder);  // a failure shows when a file is first written there
  return userFolder;
}

}  // namespace tokiren
