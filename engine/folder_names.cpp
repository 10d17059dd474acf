// The names of one folder during a rename pass.
#include "engine/folder_names.h"

#include <functional>

namespace tokiren {

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

namespace {

std::string Folded(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) c = FoldAscii(c);
  return folded;
}

bool IsDigits(std::string_view text) {
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

std::size_t FolderNames::NameHash::operator()(std::string_view name) const {
  if (!fold) return std::hash<std::string_view>{}(name);
  std::size_t hash = 14695981039346656037ull;  // FNV-1a over the folded bytes
  for (const char c : name) {
    hash = (hash ^ static_cast<unsigned char>(FoldAscii(c))) * 1099511628211ull;
  }
  return hash;
}

bool FolderNames::NameEqual::operator()(std::string_view a, std::string_view b) const {
  if (a.size() != b.size()) return false;
  if (!fold) return a == b;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

void FolderNames::Enter(bool caseInsensitive) {
  caseInsensitive_ = caseInsensitive;
  decided_ = decltype(decided_)(0, NameHash{caseInsensitive}, NameEqual{caseInsensitive});
  takenNames_.clear();
  resume_.clear();
}

bool FolderNames::Same(std::string_view a, std::string_view b) const {
  return NameEqual{caseInsensitive_}(a, b);
}

std::optional<bool> FolderNames::Decided(std::string_view name) const {
  const auto it = decided_.find(name);
  if (it == decided_.end()) return std::nullopt;
  return it->second;
}

void FolderNames::Free(std::string_view name) {
  decided_.insert_or_assign(name, false);
  // A gap in a run of taken names: counting up must look at that run again.
  if (const std::optional<Counted> counted = CountedOf(name)) resume_.erase(counted->group);
}

void FolderNames::Take(std::string name) {
  takenNames_.push_back(std::move(name));
  decided_.insert_or_assign(takenNames_.back(), true);
}

std::optional<FolderNames::Counted> FolderNames::CountedOf(std::string_view name) const {
  if (name.size() < stampLength_ || stampLength_ < kCounterDigits) return std::nullopt;
  const std::string_view counter = name.substr(stampLength_ - kCounterDigits, kCounterDigits);
  if (!IsDigits(counter)) return std::nullopt;
  Counted counted;
  // A separator that no name can hold keeps the stamp's part and the extension apart.
  counted.group = std::string(name.substr(0, stampLength_ - kCounterDigits)) + '/' +
                  std::string(name.substr(stampLength_));
  if (caseInsensitive_) counted.group = Folded(counted.group);
  for (const char c : counter) counted.counter = counted.counter * 10 + (c - '0');
  return counted;
}

int FolderNames::ResumeDistance(const Counted& start) const {
  const auto group = resume_.find(start.group);
  if (group == resume_.end()) return 0;
  const auto found = group->second.find(start.counter);
  return found == group->second.end() ? 0 : found->second;
}

void FolderNames::SetResumeDistance(const Counted& start, int distance) {
  resume_[start.group][start.counter] = distance;
}

}  // namespace tokiren
