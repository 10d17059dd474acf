// Makes a deterministic folder tree for the benchmarks:
//
//   make-tree FOLDER FILES SEED [--name-bytes N] [--pairs]
//             [--flat (--same-second | --distinct-seconds)]
//
// By default: folders of 100 to 1000 files up to 10 deep; about 1 % hidden files and some hidden
// folders; .jpg, .JPG, .png and .txt mixed; last-write times spread over 2005-2024 (UTC), about 5 %
// sharing a second with another file of their folder; about 0.2 % already named after their stamp.
//
// --name-bytes N  pads every name not already a stamp to N bytes (IMG_12_xxx...x.jpg).
// --pairs         about half the files come in pairs, a photo and its raw of the same name and
//                 time (IMG_12.jpg and IMG_12.CR2), as a camera set to RAW+JPEG makes them.
// --flat          puts every file in FOLDER itself, named IMG_<n>.jpg, all empty, and either
//   --same-second       all with the last-write time 2016-08-30 12:48:42 UTC, as a folder copied
//                       without its times is, so every stamp after the first is counted up;
//   --distinct-seconds  each with its own second (a shuffled set, 7 s apart), so none is.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kMaxDepth = 10;
constexpr time_t kFirst = 1104537600;  // 2005-01-01 UTC
constexpr time_t kLast = 1735689600;   // 2025-01-01 UTC
constexpr time_t kSameSecond = 1472561322;  // 2016-08-30 12:48:42 UTC

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

// `stem` + `extension`, padded with 'x' after an underscore to `bytes` bytes when it is shorter.
std::string Padded(const std::string& stem, const char* extension, size_t bytes) {
  std::string name = stem + extension;
  if (name.size() + 1 < bytes) {
    name = stem + "_" + std::string(bytes - name.size() - 1, 'x') + extension;
  }
  return name;
}

int Usage() {
  std::fprintf(stderr,
               "usage: make-tree FOLDER FILES SEED [--name-bytes N] [--pairs] "
               "[--flat (--same-second | --distinct-seconds)]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return Usage();
  size_t nameBytes = 0;
  bool flat = false, sameSecond = false, distinctSeconds = false, pairs = false;
  for (int i = 4; i < argc; ++i) {
    if (std::strcmp(argv[i], "--name-bytes") == 0 && i + 1 < argc) {
      nameBytes = std::strtoul(argv[++i], nullptr, 10);
      if (nameBytes > 255) return Usage();
    } else if (std::strcmp(argv[i], "--pairs") == 0) {
      pairs = true;
    } else if (std::strcmp(argv[i], "--flat") == 0) {
      flat = true;
    } else if (std::strcmp(argv[i], "--same-second") == 0) {
      sameSecond = true;
    } else if (std::strcmp(argv[i], "--distinct-seconds") == 0) {
      distinctSeconds = true;
    } else {
      return Usage();
    }
  }
  if (flat != (sameSecond || distinctSeconds) || (sameSecond && distinctSeconds)) return Usage();

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

  if (flat) {
    // One folder; the same names either way, only the times differ.
    std::vector<time_t> times(static_cast<size_t>(remaining), kSameSecond);
    if (distinctSeconds) {
      for (size_t i = 0; i < times.size(); ++i) times[i] = kFirst + 7 * static_cast<time_t>(i);
      std::shuffle(times.begin(), times.end(), random);
    }
    for (size_t i = 0; i < times.size(); ++i) {
      MakeFile(root + "/" + Padded("IMG_" + std::to_string(i), ".jpg", nameBytes), times[i]);
    }
    std::printf("%zu files in 1 folder\n", times.size());
    return 0;
  }
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
        name = Padded(".hidden" + std::to_string(i), ".jpg", nameBytes);
      } else if (kind < 12) {
        name = Stamp(when) + ".JPG";
      } else if (pairs && i + 1 < count && uniform(0, 2) == 0) {
        // A third of the draws make two files: half the files come in pairs.
        const std::string stem = "IMG_" + std::to_string(made + i);
        MakeFile(folder + "/" + Padded(stem, ".CR2", nameBytes), when);
        name = Padded(stem, ".jpg", nameBytes);
        times.push_back(when);
        ++i;
      } else {
        name = Padded("IMG_" + std::to_string(made + i), extensions[uniform(0, 3)], nameBytes);
      }
      MakeFile(folder + "/" + name, when);
    }
    made += count;
    remaining -= count;
  }
  std::printf("%ld files in %zu folders\n", made, folders.size());
  return 0;
}
