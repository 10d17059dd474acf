// A file system that hands every call to another one: the window's file system that keeps its
// progress display moving overrides where calls go (Target), a test overrides the call it wants to
// disturb (a target that appears before the rename, a disk that fills up).
#pragma once

#include "platform/file_system.h"

namespace tokiren {

class ForwardingFileSystem : public FileSystem {
 public:
  explicit ForwardingFileSystem(FileSystem& base = SystemFileSystem()) : base_(base) {}

  ErrorCode ListFolder(const std::string& folder, ListMask mask,
                       std::vector<FolderEntry>* entries) override {
    return Target().ListFolder(folder, mask, entries);
  }
  bool FileExists(const std::string& path) override { return Target().FileExists(path); }
  ErrorCode GetFileTimes(const std::string& path, FileTimes* times) override {
    return Target().GetFileTimes(path, times);
  }
  ErrorCode OpenToRead(const std::string& path, std::unique_ptr<OpenFile>* file) override {
    return Target().OpenToRead(path, file);
  }
  bool IsSameFile(const std::string& path, const FileId& id) override {
    return Target().IsSameFile(path, id);
  }
  ErrorCode RenameNoReplace(const std::string& from, const std::string& to) override {
    return Target().RenameNoReplace(from, to);
  }
  Interruption InterruptedRename(const std::string& from, const std::string& to) override {
    return Target().InterruptedRename(from, to);
  }
  ErrorCode FinishInterruptedRename(const std::string& from, const std::string& to) override {
    return Target().FinishInterruptedRename(from, to);
  }
  ErrorCode UndoInterruptedRename(const std::string& from, const std::string& to) override {
    return Target().UndoInterruptedRename(from, to);
  }
  ErrorCode SyncFolder(const std::string& folder) override { return Target().SyncFolder(folder); }
  ErrorCode CreateTextFile(const std::string& path,
                           std::unique_ptr<TextFileWriter>* writer) override {
    return Target().CreateTextFile(path, writer);
  }
  ErrorCode ReadTextFile(const std::string& path, std::string* contents) override {
    return Target().ReadTextFile(path, contents);
  }
  ErrorCode ReplaceTextFile(const std::string& path, std::string_view contents) override {
    return Target().ReplaceTextFile(path, contents);
  }
  ErrorCode OpenForReading(const std::string& path, std::unique_ptr<FileReader>* reader) override {
    return Target().OpenForReading(path, reader);
  }
  ErrorCode CreateReplacement(const std::string& path,
                              std::unique_ptr<FileReplacement>* writer) override {
    return Target().CreateReplacement(path, writer);
  }
  ErrorCode MoveOwnFile(const std::string& from, const std::string& to) override {
    return Target().MoveOwnFile(from, to);
  }
  ErrorCode RemoveOwnFile(const std::string& path) override { return Target().RemoveOwnFile(path); }
  bool IsCaseInsensitiveFolder(const std::string& folder, std::string_view entryName) override {
    return Target().IsCaseInsensitiveFolder(folder, entryName);
  }
  LockAttempt TryLock(const std::string& path) override { return Target().TryLock(path); }

 protected:
  // Where each call goes; the file system given, unless a subclass says otherwise.
  virtual FileSystem& Target() { return base_; }

  FileSystem& base_;
};

}  // namespace tokiren
