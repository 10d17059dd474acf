// The log on the disk.
#include "engine/log_file.h"

#include <algorithm>
#include <functional>

#include "engine/log.h"

namespace tokiren {

ReverseLogReader::ReverseLogReader(FileReader& file, std::size_t blockSize)
    : file_(file), blockSize_(blockSize < 2 ? 2 : blockSize) {}

bool ReverseLogReader::LoadWindowEndingAt(std::uint64_t end) {
  const std::uint64_t start = end > blockSize_ ? end - blockSize_ : 0;
  window_.resize(static_cast<std::size_t>(end - start));
  windowStart_ = start;
  error_ = file_.ReadAt(start, window_.data(), window_.size());
  if (error_.ok()) return true;
  window_.clear();
  return false;
}

std::int64_t ReverseLogReader::FindCrLfBefore(std::uint64_t limit) {
  if (limit < kLogLineEnd.size()) return -1;
  const std::uint64_t windowEnd = windowStart_ + window_.size();
  if (window_.empty() || limit > windowEnd || limit <= windowStart_) {
    if (!LoadWindowEndingAt(limit)) return -1;
  }
  std::uint64_t high = limit;
  for (;;) {
    const std::string_view searched(window_.data(), static_cast<std::size_t>(high - windowStart_));
    const std::size_t at = searched.rfind(kLogLineEnd);
    if (at != std::string_view::npos) return static_cast<std::int64_t>(windowStart_ + at);
    if (windowStart_ == 0) return -1;
    // Go on before the window, keeping its first byte: a CR LF may straddle the two.
    high = windowStart_ + 1;
    if (!LoadWindowEndingAt(high)) return -1;
  }
}

std::uint64_t ReverseLogReader::CompleteSize() {
  if (!started_) {
    started_ = true;
    const std::int64_t last = FindCrLfBefore(file_.Size());
    completeSize_ = last < 0 ? 0 : static_cast<std::uint64_t>(last) + kLogLineEnd.size();
    cursor_ = last < 0 ? 0 : static_cast<std::uint64_t>(last);
  }
  return completeSize_;
}

bool ReverseLogReader::Previous(LogLine* line) {
  CompleteSize();
  if (!error_.ok() || completeSize_ == 0 || atStart_) return false;
  const std::uint64_t end = cursor_;  // the CR LF of the line to return
  const std::int64_t before = FindCrLfBefore(end);
  if (!error_.ok()) return false;
  const std::uint64_t begin =
      before < 0 ? 0 : static_cast<std::uint64_t>(before) + kLogLineEnd.size();
  cursor_ = before < 0 ? 0 : static_cast<std::uint64_t>(before);
  atStart_ = before < 0;
  line->begin = begin;
  line->end = end;
  line->tooLong = end - begin > kMaxLogLineBytes;
  line->text = {};
  if (line->tooLong) return true;
  const auto length = static_cast<std::size_t>(end - begin);
  if (begin >= windowStart_ && end <= windowStart_ + window_.size()) {
    line->text =
        std::string_view(window_).substr(static_cast<std::size_t>(begin - windowStart_), length);
    return true;
  }
  lineBuffer_.resize(length);
  error_ = file_.ReadAt(begin, lineBuffer_.data(), length);
  if (!error_.ok()) return false;
  line->text = lineBuffer_;
  return true;
}

std::uint64_t Fingerprint(std::string_view text) { return std::hash<std::string_view>{}(text); }

void FingerprintIndex::Insert(std::uint64_t fingerprint, std::uint64_t value) {
  if ((size_ + 1) * 2 > keys_.size()) Grow();
  const std::uint32_t key = KeyOf(fingerprint);
  std::size_t i = SlotOf(key);
  while (keys_[i] != 0) i = (i + 1) & mask_;
  keys_[i] = key;
  values_[i] = value;
  ++size_;
}

void FingerprintIndex::Grow() {
  std::vector<std::uint32_t> oldKeys;
  std::vector<std::uint64_t> oldValues;
  oldKeys.swap(keys_);
  oldValues.swap(values_);
  const std::size_t slots = oldKeys.empty() ? 1024 : oldKeys.size() * 2;
  keys_.assign(slots, 0);
  values_.assign(slots, 0);
  mask_ = slots - 1;
  for (std::size_t k = 0; k < oldKeys.size(); ++k) {
    if (oldKeys[k] == 0) continue;
    std::size_t i = SlotOf(oldKeys[k]);
    while (keys_[i] != 0) i = (i + 1) & mask_;
    keys_[i] = oldKeys[k];
    values_[i] = oldValues[k];
  }
}

namespace {
constexpr int kLengthBits = 24;
static_assert(kMaxLogLineBytes < (std::uint64_t{1} << kLengthBits));
}  // namespace

std::uint64_t PackLinePlace(std::uint64_t begin, std::uint64_t end) {
  return begin << kLengthBits | (end - begin);
}

std::uint64_t LinePlaceBegin(std::uint64_t place) { return place >> kLengthBits; }

ErrorCode ReadLineAt(FileReader& file, std::uint64_t place, std::string* text) {
  text->resize(static_cast<std::size_t>(place & ((std::uint64_t{1} << kLengthBits) - 1)));
  return file.ReadAt(LinePlaceBegin(place), text->data(), text->size());
}

ErrorCode CopyBytes(FileReader& file, std::uint64_t begin, std::uint64_t end, TextFileWriter& to) {
  std::string block;
  while (begin < end) {
    block.resize(static_cast<std::size_t>(
        std::min<std::uint64_t>(end - begin, ReverseLogReader::kDefaultBlockSize)));
    ErrorCode error = file.ReadAt(begin, block.data(), block.size());
    if (error.ok()) error = to.Append(block);
    if (!error.ok()) return error;
    begin += block.size();
  }
  return kSuccess;
}

}  // namespace tokiren
