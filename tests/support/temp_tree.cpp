// Test helpers, the same on every platform.
#include "tests/support/temp_tree.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "platform/file_system.h"

namespace fs = std::filesystem;

namespace tokiren::testing {
namespace {

fs::path PathOf(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

std::string Utf8Of(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace

// The tree's path in the form that reaches every depth of it (temp_tree_posix.cpp,
// temp_tree_win32.cpp).
fs::path WholeTreePath(const std::string& utf8);

namespace {

std::string Native(std::string path) {
  std::replace(path.begin(), path.end(), '/', kPathSeparator);
  return path;
}

}  // namespace

TempTree::TempTree() {
  std::random_device random;
  const fs::path base = fs::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path folder = base / ("tokiren-test-" + std::to_string(random()));
    if (fs::create_directory(folder)) {
      // Open to everyone, so a check run as another user can reach what it needs.
      fs::permissions(folder, fs::perms::owner_all | fs::perms::group_read |
                                  fs::perms::group_exec | fs::perms::others_read |
                                  fs::perms::others_exec);
      path_ = Utf8Of(folder) + kPathSeparator;
      return;
    }
  }
  throw std::runtime_error("no temporary folder could be made");
}

TempTree::~TempTree() {
  std::error_code ignored;
  // Entries a test locked (folders without access, read-only files) must be opened up again
  // before they can be removed.
  const fs::path whole = WholeTreePath(path_);
  for (auto it = fs::recursive_directory_iterator(whole, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    if (!it->is_symlink(ignored)) {
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
  }
  fs::remove_all(whole, ignored);
}

std::string TempTree::operator/(const std::string& relative) const {
  return path_ + Native(relative);
}

std::string TempTree::Write(const std::string& relative, const std::string& content,
                            std::time_t lastWrite) const {
  const std::string full = *this / relative;
  fs::create_directories(PathOf(full).parent_path());
  WriteFile(full, content);
  if (lastWrite >= 0) {
    fs::last_write_time(PathOf(full), std::chrono::file_clock::from_sys(
                                          std::chrono::system_clock::from_time_t(lastWrite)));
  }
  return full;
}

void TempTree::WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(PathOf(path), std::ios::binary) << content;
}

std::string TempTree::MakeFolder(const std::string& relative) const {
  const std::string full = *this / relative;
  fs::create_directories(PathOf(full));
  return full;
}

std::string TempTree::Read(const std::string& relative) const {
  std::ifstream in(PathOf(*this / relative), std::ios::binary);
  std::stringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

bool TempTree::Exists(const std::string& relative) const {
  std::error_code ignored;
  return fs::symlink_status(PathOf(*this / relative), ignored).type() != fs::file_type::not_found;
}

std::vector<std::string> TempTree::Names(const std::string& relative) const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(PathOf(*this / relative))) {
    names.push_back(Utf8Of(entry.path().filename()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace tokiren::testing
