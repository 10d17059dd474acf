// Opening a run's files ahead of the pass for the capture-time reader.
#include "engine/capture_read_ahead.h"

#include <algorithm>
#include <utility>

namespace tokiren {

CaptureReadAhead::CaptureReadAhead(FileSystem& fileSystem, CaptureTimeReader& reader,
                                   std::vector<std::string> paths)
    : fileSystem_(fileSystem), reader_(reader), paths_(std::move(paths)) {}

CaptureReadAhead::Opened CaptureReadAhead::Open(const std::string& path) {
  Opened opened{path, kSuccess, {}, 0};
  std::unique_ptr<OpenFile> file;
  opened.error = fileSystem_.OpenToRead(path, &file);
  if (!opened.error.ok()) return opened;
  opened.times = file->Times();
  opened.ticket = nextTicket_++;
  reader_.Submit(opened.ticket, std::move(file));
  ++inReader_;
  return opened;
}

void CaptureReadAhead::Fill() {
  const std::size_t limit = std::max<std::size_t>(1, reader_.ReadAhead());
  while (inReader_ < limit && nextPath_ < paths_.size()) ahead_.push_back(Open(paths_[nextPath_++]));
}

ErrorCode CaptureReadAhead::Read(const std::string& path, FileTimes* times,
                                 std::optional<LocalTime>* captured,
                                 std::optional<std::uint32_t>* nanosecond) {
  captured->reset();
  nanosecond->reset();
  Fill();
  // Files passed over are never asked for: their tickets are taken back unread, in order.
  while (!ahead_.empty() && ahead_.front().path != path) {
    if (ahead_.front().error.ok()) {
      std::optional<CapturedMoment> unused;
      reader_.Take(ahead_.front().ticket, &unused);
      --inReader_;
    }
    ahead_.pop_front();
  }
  Opened opened;
  if (ahead_.empty()) {
    opened = Open(path);
  } else {
    opened = std::move(ahead_.front());
    ahead_.pop_front();
  }
  if (!opened.error.ok()) return opened.error;
  std::optional<CapturedMoment> moment;
  const ErrorCode error = reader_.Take(opened.ticket, &moment);
  --inReader_;
  Fill();  // the reader goes on while the pass renames this file
  if (!error.ok()) return error;
  *times = opened.times;
  if (moment) {
    *captured = moment->utc ? LocalTimeOfUtc(moment->time) : moment->time;
    if (*captured) *nanosecond = moment->nanosecond;
  }
  return kSuccess;
}

}  // namespace tokiren
