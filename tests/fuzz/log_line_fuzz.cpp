// libFuzzer target: a log of any bytes is split into lines and each line into its two paths.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engine/log.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view contents(reinterpret_cast<const char*>(data), size);
  for (const std::string_view line : tokiren::CompleteLogLines(contents)) {
    // Every line lies inside the contents and holds no line end.
    if (line.data() < contents.data() || line.data() + line.size() > contents.data() + size ||
        line.find("\r\n") != std::string_view::npos) {
      std::abort();
    }
    std::string_view oldPath, newPath;
    if (!tokiren::SplitLogLine(line, &oldPath, &newPath)) continue;
    // A split line is "old as new" with new in old's folder.
    if (oldPath.size() + 4 + newPath.size() != line.size() || oldPath.empty() ||
        newPath.empty()) {
      std::abort();
    }
    const std::size_t slash = oldPath.rfind('/');
    const std::string_view folder =
        slash == std::string_view::npos ? std::string_view() : oldPath.substr(0, slash + 1);
    if (newPath.substr(0, folder.size()) != folder ||
        newPath.find('/', folder.size()) != std::string_view::npos) {
      std::abort();
    }
  }
  return 0;
}
