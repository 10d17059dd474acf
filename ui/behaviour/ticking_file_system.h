// A file system that lets the window's progress display move between the engine's reports.
#pragma once

#include <functional>
#include <thread>

#include "platform/file_system.h"

namespace tokiren::behaviour {

// Hands every call to `base`, calling `tick` first. The engine reports its progress every few
// thousand files; its file-system calls come with every file, so a tick that looks at the clock
// (RunReports::Tick) can keep the display moving and repainted in between. Only calls made on the
// thread that made this file system tick: the display belongs to that thread.
class TickingFileSystem final : public FileSystem {
 public:
  TickingFileSystem(FileSystem& base, std::function<void()> tick);

  ErrorCode ListFolder(const std::string& folder, ListMask mask,
                       std::vector<FolderEntry>* entries) override;
  bool FileExists(const std::string& path) override;
  ErrorCode GetFileTimes(const std::string& path, FileTimes* times) override;
  ErrorCode OpenToRead(const std::string& path, std::unique_ptr<OpenFile>* file) override;
  bool IsSameFile(const std::string& path, const FileId& id) override;
  ErrorCode RenameNoReplace(const std::string& from, const std::string& to) override;
  Interruption InterruptedRename(const std::string& from, const std::string& to) override;
  ErrorCode FinishInterruptedRename(const std::string& from, const std::string& to) override;
  ErrorCode UndoInterruptedRename(const std::string& from, const std::string& to) override;
  ErrorCode SyncFolder(const std::string& folder) override;
  ErrorCode CreateTextFile(const std::string& path,
                           std::unique_ptr<TextFileWriter>* writer) override;
  ErrorCode ReadTextFile(const std::string& path, std::string* contents) override;
  ErrorCode ReplaceTextFile(const std::string& path, std::string_view contents) override;
  ErrorCode OpenForReading(const std::string& path, std::unique_ptr<FileReader>* reader) override;
  ErrorCode CreateReplacement(const std::string& path,
                              std::unique_ptr<FileReplacement>* writer) override;
  ErrorCode MoveOwnFile(const std::string& from, const std::string& to) override;
  ErrorCode RemoveOwnFile(const std::string& path) override;
  bool IsCaseInsensitiveFolder(const std::string& folder, std::string_view entryName) override;
  LockAttempt TryLock(const std::string& path) override;

 private:
  FileSystem& Ticked();

  FileSystem& base_;
  const std::function<void()> tick_;
  const std::thread::id thread_;
};

}  // namespace tokiren::behaviour
