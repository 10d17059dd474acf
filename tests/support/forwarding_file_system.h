// A file system that hands every call to another one; a test overrides the call it wants to
// disturb (a target that appears before the rename, a disk that fills up).
#pragma once

#include "platform/file_system.h"

namespace tokiren::testing {

class ForwardingFileSystem : public FileSystem {
 public:
  explicit ForwardingFileSystem(FileSystem& base = SystemFileSystem()) : base_(base) {}

  ErrorCode ListFolder(const std::string& folder, ListMask mask,
                       std::vector<FolderEntry>* entries) override {
    return base_.ListFolder(folder, mask, entries);
  }
  bool FileExists(const std::string& path) override { return base_.FileExists(path); }
  ErrorCode GetFileTimes(const std::string& path, FileTimes* times) override {
    return base_.GetFileTimes(path, times);
  }
  ErrorCode OpenToRead(const std::string& path, std::unique_ptr<OpenFile>* file) override {
    return base_.OpenToRead(path, file);
  }
  bool IsSameFile(const std::string& path, const FileId& id) override {
    return base_.IsSameFile(path, id);
  }
  ErrorCode RenameNoReplace(const std::string& from, const std::string& to) override {
    return base_.RenameNoReplace(from, to);
  }
  Interruption InterruptedRename(const std::string& from, const std::string& to) override {
    return base_.InterruptedRename(from, to);
  }
  ErrorCode FinishInterruptedRename(const std::string& from, const std::string& to) override {
    return base_.FinishInterruptedRename(from, to);
  }
  ErrorCode UndoInterruptedRename(const std::string& from, const std::string& to) override {
    return base_.UndoInterruptedRename(from, to);
  }
  ErrorCode SyncFolder(const std::string& folder) override { return base_.SyncFolder(folder); }
  ErrorCode CreateTextFile(const std::string& path,
                           std::unique_ptr<TextFileWriter>* writer) override {
    return base_.CreateTextFile(path, writer);
  }
  ErrorCode ReadTextFile(const std::string& path, std::string* contents) override {
    return base_.ReadTextFile(path, contents);
  }
  ErrorCode ReplaceTextFile(const std::string& path, std::string_view contents) override {
    return base_.ReplaceTextFile(path, contents);
  }
  ErrorCode OpenForReading(const std::string& path, std::unique_ptr<FileReader>* reader) override {
    return base_.OpenForReading(path, reader);
  }
  ErrorCode CreateReplacement(const std::string& path,
                              std::unique_ptr<FileReplacement>* writer) override {
    return base_.CreateReplacement(path, writer);
  }
  ErrorCode MoveOwnFile(const std::string& from, const std::string& to) override {
    return base_.MoveOwnFile(from, to);
  }
  ErrorCode RemoveOwnFile(const std::string& path) override { return base_.RemoveOwnFile(path); }
  bool IsCaseInsensitiveFolder(const std::string& folder, std::string_view entryName) override {
    return base_.IsCaseInsensitiveFolder(folder, entryName);
  }
  LockAttempt TryLock(const std::string& path) override { return base_.TryLock(path); }

 protected:
  FileSystem& base_;
};

}  // namespace tokiren::testing
