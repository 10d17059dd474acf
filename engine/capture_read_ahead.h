// The files of a run that reads capture times, opened ahead of the rename pass and handed to the
// reader, so that the reader works on the next files while the pass renames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "engine/capture_time.h"
#include "platform/file_system.h"

namespace tokiren {

class CaptureReadAhead {
 public:
  // `paths`: the files the pass will ask for, in the order it will ask.
  CaptureReadAhead(FileSystem& fileSystem, CaptureTimeReader& reader,
                   std::vector<std::string> paths);

  // The times of the file `path` as it was opened (its identity among them) and its capture time
  // in local time, nothing when it has none, with the fraction of its second where the file tells. Files are asked for in the order given; a file never
  // given is opened on its own. Fails when the file could not be opened (gone, a link or a fifo
  // put in its place, held under a lease) or no reader could read it.
  ErrorCode Read(const std::string& path, FileTimes* times, std::optional<LocalTime>* captured,
                 std::optional<std::uint32_t>* nanosecond);

 private:
  struct Opened {
    std::string path;
    ErrorCode error;  // the file could not be opened: it holds no ticket
    FileTimes times;
    std::uint64_t ticket = 0;
  };

  // Opens and hands over files until the reader holds as many as it may.
  void Fill();
  Opened Open(const std::string& path);

  FileSystem& fileSystem_;
  CaptureTimeReader& reader_;
  std::vector<std::string> paths_;
  std::size_t nextPath_ = 0;
  std::deque<Opened> ahead_;
  std::uint64_t nextTicket_ = 0;
  std::size_t inReader_ = 0;  // handed over and not yet taken back
};

}  // namespace tokiren
