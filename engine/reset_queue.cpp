// Renames back made by several threads, each after the earlier lines it may touch.
#include "engine/reset_queue.h"

#include "platform/file_system.h"

namespace tokiren {

ResetQueue::ResetQueue(int jobs,
                       std::function<RenameBack(const std::string&, const std::string&)> renameBack)
    : renameBack_(std::move(renameBack)), work_(jobs) {}

ResetQueue::~ResetQueue() = default;

void ResetQueue::Add(Line line) {
  line.line.text = {};  // the reader's buffer moves on
  lines_.push_back(std::move(line));
  Line& added = lines_.back();
  if (added.damaged) {
    work_.Add({}, {}, nullptr);
    return;
  }
  work_.Add(FolderOf(added.oldPath), {added.oldPath, added.newPath},
            [this, &added] { added.outcome = renameBack_(added.oldPath, added.newPath); });
}

ResetQueue::Line ResetQueue::TakeOldest() {
  work_.TakeOldest();
  Line line = std::move(lines_.front());
  lines_.pop_front();
  return line;
}

}  // namespace tokiren
