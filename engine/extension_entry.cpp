// Reading a typed extension into an entry of the extension list.
#include "engine/extension_entry.h"

namespace tokiren {
namespace {

constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";
constexpr std::string_view kForbidden = "\\/:*?\"<>|";

std::string_view Trimmed(std::string_view text) {
  for (bool trimmed = true; trimmed && !text.empty();) {
    trimmed = false;
    if (text.front() == ' ' || text.front() == '\t') {
      text.remove_prefix(1);
      trimmed = true;
    } else if (text.starts_with(kIdeographicSpace)) {
      text.remove_prefix(kIdeographicSpace.size());
      trimmed = true;
    }
    if (text.empty()) break;
    if (text.back() == ' ' || text.back() == '\t') {
      text.remove_suffix(1);
      trimmed = true;
    } else if (text.ends_with(kIdeographicSpace)) {
      text.remove_suffix(kIdeographicSpace.size());
      trimmed = true;
    }
  }
  return text;
}

bool Forbidden(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F || kForbidden.find(c) != std::string_view::npos;
}

}  // namespace

TypedExtension ExtensionFromTyped(std::string_view typed) {
  std::string_view text = Trimmed(typed);
  if (text.starts_with("*.")) text.remove_prefix(1);
  const std::string entry = NormalizeExtension(text);
  if (entry == kAllFilesEntry) return {entry, ExtensionFault::kNone};
  if (entry.size() == 1) return {{}, ExtensionFault::kEmpty};
  for (const char c : entry) {
    if (Forbidden(c)) return {{}, ExtensionFault::kForbiddenCharacter};
  }
  if (entry.size() > kLongestExtensionEntry) return {{}, ExtensionFault::kTooLong};
  return {entry, ExtensionFault::kNone};
}

}  // namespace tokiren
