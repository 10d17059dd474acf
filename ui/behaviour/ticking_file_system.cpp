// The file system that ticks.
#include "ui/behaviour/ticking_file_system.h"

#include <utility>

namespace tokiren::behaviour {

TickingFileSystem::TickingFileSystem(FileSystem& base, std::function<void()> tick)
    : base_(base), tick_(std::move(tick)), thread_(std::this_thread::get_id()) {}

FileSystem& TickingFileSystem::Ticked() {
  if (std::this_thread::get_id() == thread_) tick_();
  return base_;
}

ErrorCode TickingFileSystem::ListFolder(const std::string& folder, ListMask mask,
                                        std::vector<FolderEntry>* entries) {
  return Ticked().ListFolder(folder, mask, entries);
}
bool TickingFileSystem::FileExists(const std::string& path) { return Ticked().FileExists(path); }
ErrorCode TickingFileSystem::GetFileTimes(const std::string& path, FileTimes* times) {
  return Ticked().GetFileTimes(path, times);
}
ErrorCode TickingFileSystem::OpenToRead(const std::string& path, std::unique_ptr<OpenFile>* file) {
  return Ticked().OpenToRead(path, file);
}
bool TickingFileSystem::IsSameFile(const std::string& path, const FileId& id) {
  return Ticked().IsSameFile(path, id);
}
ErrorCode TickingFileSystem::RenameNoReplace(const std::string& from, const std::string& to) {
  return Ticked().RenameNoReplace(from, to);
}
FileSystem::Interruption TickingFileSystem::InterruptedRename(const std::string& from,
                                                             const std::string& to) {
  return Ticked().InterruptedRename(from, to);
}
ErrorCode TickingFileSystem::FinishInterruptedRename(const std::string& from,
                                                     const std::string& to) {
  return Ticked().FinishInterruptedRename(from, to);
}
ErrorCode TickingFileSystem::UndoInterruptedRename(const std::string& from,
                                                   const std::string& to) {
  return Ticked().UndoInterruptedRename(from, to);
}
ErrorCode TickingFileSystem::SyncFolder(const std::string& folder) {
  return Ticked().SyncFolder(folder);
}
ErrorCode TickingFileSystem::CreateTextFile(const std::string& path,
                                            std::unique_ptr<TextFileWriter>* writer) {
  return Ticked().CreateTextFile(path, writer);
}
ErrorCode TickingFileSystem::ReadTextFile(const std::string& path, std::string* contents) {
  return Ticked().ReadTextFile(path, contents);
}
ErrorCode TickingFileSystem::ReplaceTextFile(const std::string& path, std::string_view contents) {
  return Ticked().ReplaceTextFile(path, contents);
}
ErrorCode TickingFileSystem::OpenForReading(const std::string& path,
                                            std::unique_ptr<FileReader>* reader) {
  return Ticked().OpenForReading(path, reader);
}
ErrorCode TickingFileSystem::CreateReplacement(const std::string& path,
                                               std::unique_ptr<FileReplacement>* writer) {
  return Ticked().CreateReplacement(path, writer);
}
ErrorCode TickingFileSystem::MoveOwnFile(const std::string& from, const std::string& to) {
  return Ticked().MoveOwnFile(from, to);
}
ErrorCode TickingFileSystem::RemoveOwnFile(const std::string& path) {
  return Ticked().RemoveOwnFile(path);
}
bool TickingFileSystem::IsCaseInsensitiveFolder(const std::string& folder,
                                                std::string_view entryName) {
  return Ticked().IsCaseInsensitiveFolder(folder, entryName);
}
FileSystem::LockAttempt TickingFileSystem::TryLock(const std::string& path) { return Ticked().TryLock(path); }

}  // namespace tokiren::behaviour
