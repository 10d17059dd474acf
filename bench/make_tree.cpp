// Makes a deterministic folder tree for the benchmarks: make-tree FOLDER FILES SEED.
//
// Folders of 100 to 1000 files up to 10 deep; about 1 % hidden files and some hidden folders;
// .jpg, .JPG, .png and .txt mixed; last-write times spread over 2005-2024 (UTC), about 5 % sharing
// a second with another file of their folder; about 0.2 % already named after their stamp.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kMaxDepth = 10;
constexpr time_t kFirst = 1104537600;  // 2005-01-01 UTC
constexpr time_t kLast = 1735689600;   // 2025-01-01 UTC

struct Folder {
  std::string path;
  int depth;
};

void MakeFile(const std::string& path, time_t when) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) {
    std::perror(path.c_str());
    std::exit(1);
  }
  const struct timespec times[2] = {{when, 0}, {when, 0}};
  futimens(fd, times);
  close(fd);
}

std::string Stamp(time_t when) {
  struct tm fields;
  gmtime_r(&when, &fields);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &fields);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: make-tree FOLDER FILES SEED\n");
    return 2;
  }
  const std::string root = argv[1];
  long remaining = std::atol(argv[2]);
  std::mt19937_64 random(std::strtoull(argv[3], nullptr, 10));
  auto uniform = [&](long low, long high) {
    return std::uniform_int_distribution<long>(low, high)(random);
  };
  const char* extensions[] = {".jpg", ".JPG", ".png", ".txt"};

  for (size_t slash = root.find('/', 1); slash != std::string::npos;
       slash = root.find('/', slash + 1)) {
    mkdir(root.substr(0, slash).c_str(), 0755);
  }
  mkdir(root.c_str(), 0755);
  std::vector<Folder> folders{{root, 0}};
  long made = 0;
  for (size_t index = 0; remaining > 0; ++index) {
    if (index > 0) {
      // A new folder below a random one that is not yet at the deepest level.
      Folder parent;
      do {
        parent = folders[static_cast<size_t>(uniform(0, static_cast<long>(folders.size()) - 1))];
      } while (parent.depth >= kMaxDepth);
      const bool hidden = uniform(0, 49) == 0;
      const std::string path =
          parent.path + "/" + (hidden ? ".hidden" : "folder") + std::to_string(index);
      mkdir(path.c_str(), 0755);
      if (hidden) {  // never walked: its files do not count
        MakeFile(path + "/inside.jpg", kFirst);
        continue;
      }
      folders.push_back({path, parent.depth + 1});
    }
    const std::string& folder = folders.back().path;
    const long count = std::min(remaining, uniform(100, 1000));
    std::vector<time_t> times;
    for (long i = 0; i < count; ++i) {
      const time_t when = (!times.empty() && uniform(0, 19) == 0)
                              ? times[static_cast<size_t>(uniform(0, static_cast<long>(times.size()) - 1))]
                              : uniform(kFirst, kLast);
      times.push_back(when);
      std::string name;
      const long kind = uniform(0, 999);
      if (kind < 10) {
        name = ".hidden" + std::to_string(i) + ".jpg";
      } else if (kind < 12) {
        name = Stamp(when) + ".JPG";
      } else {
        name = "IMG_" + std::to_string(made + i) + extensions[uniform(0, 3)];
      }
      MakeFile(folder + "/" + name, when);
    }
    made += count;
    remaining -= count;
  }
  std::printf("%ld files in %zu folders\n", made, folders.size());
  return 0;
}
