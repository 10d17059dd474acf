// Finding the companions of one folder's files.
#include "engine/companions.h"

#include <algorithm>
#include <numeric>
#include <string>
#include <unordered_map>

#include "engine/folder_names.h"

namespace tokiren {
namespace {

std::string Folded(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) c = FoldAscii(c);
  return folded;
}

// The name up to its last dot; nothing before it, or no dot: "".
std::string_view Shared(std::string_view name) {
  const size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(0, dot);
}

std::uint32_t Root(std::vector<std::uint32_t>& parent, std::uint32_t file) {
  while (parent[file] != file) file = parent[file] = parent[parent[file]];
  return file;
}

}  // namespace

std::vector<std::vector<Companion>> FindCompanions(const std::vector<std::string_view>& names,
                                                   const std::vector<bool>& acts) {
  const auto count = static_cast<std::uint32_t>(names.size());
  // Whole names that may be followed: exactly, and folded (the first of each).
  std::unordered_map<std::string_view, std::uint32_t> exactNames;
  std::unordered_map<std::string, std::uint32_t> foldedNames;
  exactNames.reserve(count);
  foldedNames.reserve(count);
  for (std::uint32_t f = 0; f < count; ++f) {
    if (Shared(names[f]).empty()) continue;
    exactNames.emplace(names[f], f);
    foldedNames.emplace(Folded(names[f]), f);
  }

  // Each file followed (a sidecar of another's whole name) or sharing a stamp with the first
  // file of its shared name; groups are joined through a union-find.
  constexpr std::uint32_t kAlone = kSharedStamp;
  std::vector<std::uint32_t> follows(count, kAlone);
  std::vector<std::uint32_t> parent(count);
  std::iota(parent.begin(), parent.end(), 0);
  std::unordered_map<std::string, std::uint32_t> firstOfShared;
  for (std::uint32_t f = 0; f < count; ++f) {
    const std::string_view shared = Shared(names[f]);
    if (shared.empty()) continue;
    std::string key = Folded(shared);
    // A sidecar follows the file of exactly its name where there is one (where case tells
    // names apart, IMG_0001.JPG and img_0001.jpg are two), else the one alike but for case.
    std::uint32_t other = kAlone;
    if (const auto whole = exactNames.find(shared); whole != exactNames.end()) {
      other = whole->second;
    } else if (const auto folded = foldedNames.find(key); folded != foldedNames.end()) {
      other = folded->second;
    }
    if (other != kAlone) {
      follows[f] = other;
    } else {
      other = firstOfShared.try_emplace(std::move(key), f).first->second;
    }
    parent[Root(parent, f)] = Root(parent, other);
  }

  // The members of each group, in the order given.
  std::vector<std::vector<std::uint32_t>> members(count);
  for (std::uint32_t f = 0; f < count; ++f) members[Root(parent, f)].push_back(f);
  std::vector<std::vector<Companion>> groups;
  for (std::uint32_t f = 0; f < count; ++f) {
    std::vector<std::uint32_t>& group = members[f];
    if (group.size() < 2 ||
        std::none_of(group.begin(), group.end(), [&](std::uint32_t m) { return acts[m]; })) {
      continue;
    }
    // Those sharing the stamp first; a follower's name is longer than the name it follows, so
    // by length every member comes after its anchor.
    std::stable_sort(group.begin(), group.end(), [&](std::uint32_t a, std::uint32_t b) {
      const bool followsA = follows[a] != kAlone, followsB = follows[b] != kAlone;
      if (followsA != followsB) return !followsA;
      return followsA && names[a].size() < names[b].size();
    });
    std::vector<Companion> companions;
    std::unordered_map<std::uint32_t, std::uint32_t> place;
    for (const std::uint32_t m : group) {
      place.emplace(m, static_cast<std::uint32_t>(companions.size()));
      if (follows[m] == kAlone) {
        companions.push_back({m, kSharedStamp, static_cast<std::uint32_t>(Shared(names[m]).size())});
      } else {
        companions.push_back(
            {m, place.at(follows[m]), static_cast<std::uint32_t>(names[follows[m]].size())});
      }
    }
    groups.push_back(std::move(companions));
  }
  return groups;
}

}  // namespace tokiren
