// The names of one folder as a rename pass sees them: taken or freed by the renames it has decided
// so far, compared the way the folder's file system compares names, and where counting a stamp up
// can resume.
#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "engine/stamp.h"

namespace tokiren {

class FolderNames {
 public:
  // `stampLength`: the length of every stamp of the pass (14, or 16 with separators).
  explicit FolderNames(std::size_t stampLength) : stampLength_(stampLength) {}

  // Starts on another folder.
  void Enter(bool caseInsensitive);
  bool caseInsensitive() const { return caseInsensitive_; }

  // Whether two names name one entry in this folder.
  bool Same(std::string_view a, std::string_view b) const;

  // Whether the pass decided `name` taken (true) or freed (false); nothing when it did not touch
  // it.
  std::optional<bool> Decided(std::string_view name) const;

  // `name` is freed: it must stay valid for as long as the folder is worked on (a name of the
  // collection). Forgets the resume points that freeing it makes wrong.
  void Free(std::string_view name);
  // `name` is taken.
  void Take(std::string name);

  // A name's place in counting up: its stamp's part before the counter, with the extension after
  // it, as one key, and the counter's value. Nothing for a name that is not a stamp and an
  // extension (or no extension).
  struct Counted {
    std::string group;
    int counter = 0;
  };
  std::optional<Counted> CountedOf(std::string_view name) const;

  // How many names from `start` on, counting up, are known to be taken: counting up from `start`
  // can resume that far on. 0 when nothing is known.
  int ResumeDistance(const Counted& start) const;
  void SetResumeDistance(const Counted& start, int distance);

 private:
  struct NameHash {
    bool fold;
    std::size_t operator()(std::string_view name) const;
  };
  struct NameEqual {
    bool fold;
    bool operator()(std::string_view a, std::string_view b) const;
  };

  const std::size_t stampLength_;
  bool caseInsensitive_ = false;
  std::deque<std::string> takenNames_;  // storage of the names taken, which never moves
  std::unordered_map<std::string_view, bool, NameHash, NameEqual> decided_{
      0, NameHash{false}, NameEqual{false}};
  // Per group of names, per counter where counting up starts: how far it is known to be taken.
  std::unordered_map<std::string, std::unordered_map<int, int>> resume_;
};

// ASCII case folding (A-Z to a-z), the folding FAT and exFAT apply at the least.
char FoldAscii(char c);

}  // namespace tokiren
