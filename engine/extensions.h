// The extension list a run acts on, and the test of a file name against it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tokiren {

// The built-in entry that stands for every file.
inline constexpr std::string_view kAllFilesEntry = ".*";

// One entry of the extension list: its text (upper case, starting with ".") and its check mark.
struct ExtensionEntry {
  std::string text;
  bool checked = false;
  friend bool operator==(const ExtensionEntry&, const ExtensionEntry&) = default;
};

// Upper case of ASCII a-z only; every other byte is kept, so matching never depends on the locale.
std::string AsciiUpper(std::string_view text);

// An extension as the list keeps it: upper case, with "." put in front when it does not start with
// one ("jpg" -> ".JPG", "" -> "."). Nothing is trimmed.
std::string NormalizeExtension(std::string_view typed);

// Whether two entries stand in list order: ASCII case-folded, then bytewise ("." < ".*" < ".AVI").
bool ListOrderLess(const ExtensionEntry& a, const ExtensionEntry& b);

// True when the entry ".*" is checked: every file then matches, wherever ".*" stands in the list.
bool AllFilesChecked(const std::vector<ExtensionEntry>& List1);

// Looks for the first checked entry, in list order, that strTmpF (an upper-cased bare file name)
// ends with. Chk tells whether one was found; strTmpK receives its text and is assigned only then.
// ".*" is never matched as a suffix: it is the every-file entry (AllFilesChecked).
void CheckKakucyou(const std::vector<ExtensionEntry>& List1, std::string_view strTmpF, bool& Chk,
                   std::string& strTmpK);

}  // namespace tokiren
