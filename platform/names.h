// The one collation of names and list entries: ASCII case-folded, then bytewise.
#pragma once

#include <string_view>

namespace tokiren {

// Orders two names by their bytes with A-Z folded to a-z; names equal under folding are then
// ordered bytewise ("A.JPG" before "a.jpg"). Bytes above 0x7F are compared as unsigned values and
// never folded, so the order is the same on every file system and in every locale.
int CompareNames(std::string_view a, std::string_view b);

inline bool NameLess(std::string_view a, std::string_view b) { return CompareNames(a, b) < 0; }

}  // namespace tokiren
