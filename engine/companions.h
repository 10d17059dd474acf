// Companions: the files of one folder that belong together and are renamed together under one
// stamp. A RAW and its JPEG, a Live Photo's HEIC and MOV, a photo and its .xmp share a name up to
// their last dot (IMG_0001.CR2, IMG_0001.JPG, IMG_0001.xmp); a sidecar may also be named after a
// companion's whole name (IMG_0001.JPG.xmp) and then follows that one's new whole name.
#pragma once

#include <cstdint>
#include <limits>
#include <string_view>
#include <vector>

namespace tokiren {

inline constexpr std::uint32_t kSharedStamp = std::numeric_limits<std::uint32_t>::max();

struct Companion {
  std::uint32_t file;     // its place among the names given
  std::uint32_t anchor;   // kSharedStamp: its new name starts with the group's stamp; otherwise
                          // the place in the group of the member whose new whole name it follows
  std::uint32_t ownPart;  // where its own part, kept after the stamp or that name, begins
};

// The groups among `names`, the files of one folder: two or more files whose names are equal up
// to their last dot (A-Z folded), with the files named after one of their whole names and a dot
// more, as long as one member is a file the run acts on (`acts`). In each group the members
// sharing the stamp come first, in the order given, then the others, each after the member it
// follows. A name without a dot, or with nothing before its last dot, has no companions.
std::vector<std::vector<Companion>> FindCompanions(const std::vector<std::string_view>& names,
                                                   const std::vector<bool>& acts);

}  // namespace tokiren
