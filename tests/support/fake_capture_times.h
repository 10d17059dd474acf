// A capture-time reader for tests of what uses one: it answers each file handed over from the
// file's times (a test gives its photos last-write times of their own), as a real reader would
// from the file's contents.
#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/capture_time.h"

namespace tokiren::testing {

class FakeCaptureTimes : public CaptureTimeReader {
 public:
  using Answer = std::function<std::optional<CapturedMoment>(const FileTimes&)>;
  explicit FakeCaptureTimes(Answer answer) : answer_(std::move(answer)) {}

  ErrorCode Start(std::string* detail) override {
    ++started;
    *detail = startDetail;
    return startError;
  }
  std::size_t ReadAhead() const override { return readAhead; }
  void Submit(std::uint64_t ticket, std::unique_ptr<OpenFile> file) override {
    submitted.push_back(ticket);
    answers_[ticket] = answer_(file->Times());
    mostHeld = std::max(mostHeld, answers_.size());
  }
  ErrorCode Take(std::uint64_t ticket, std::optional<CapturedMoment>* moment) override {
    taken.push_back(ticket);
    const auto found = answers_.find(ticket);
    if (found == answers_.end()) return kFileNotFound;  // never handed over: a fault of the caller
    *moment = found->second;
    answers_.erase(found);
    return takeError;
  }

  std::size_t readAhead = 4;
  ErrorCode startError, takeError;
  std::string startDetail;
  int started = 0;
  std::vector<std::uint64_t> submitted, taken;
  std::size_t mostHeld = 0;  // the most files held at once

 private:
  Answer answer_;
  std::map<std::uint64_t, std::optional<CapturedMoment>> answers_;
};

}  // namespace tokiren::testing
