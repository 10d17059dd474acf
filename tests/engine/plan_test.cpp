#include "engine/plan.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace tokiren {
namespace {

// A folder's names without a disk: the names that stand, compared as the folder's file system
// would, and the renames a run cut off (old path, new path).
class NamesInMemory final : public NameView {
 public:
  NamesInMemory(std::set<std::string> names, bool fold,
                std::set<std::pair<std::string, std::string>> cutOff = {})
      : fold_(fold), cutOff_(std::move(cutOff)) {
    for (const std::string& name : names) names_.insert(Key(name));
  }
  bool Exists(const std::string& path) override { return names_.count(Key(path)) != 0; }
  bool IsCutOffRename(const std::string& oldPath, const std::string& newPath) override {
    return cutOff_.count({oldPath, newPath}) != 0;
  }

 private:
  std::string Key(std::string name) const {
    if (fold_) {
      for (char& c : name) c = FoldAscii(c);
    }
    return name;
  }
  bool fold_;
  std::set<std::string> names_;
  std::set<std::pair<std::string, std::string>> cutOff_;
};

struct File {
  const char* name;
  const char* stamp;
  const char* unfinished = "";  // the new path a run that did not end gave it
};

// Each file's decision, as "name>new", "name=" (already named) or "name!" (left alone, taken).
std::vector<std::string> Plan(NamesInMemory& view, bool fold, bool countUp,
                              const std::vector<File>& files, const char* extension = ".JPG") {
  Planner planner(StampFormat(false), countUp, view);
  planner.EnterFolder("/p/", fold);
  std::vector<std::string> decided;
  for (const File& file : files) {
    const Decision decision = planner.Decide(file.name, file.stamp, extension, file.unfinished);
    std::string line = file.name;
    switch (decision.kind) {
      case Decision::Kind::kRename:
        line += ">" + decision.newName + (decision.leftover ? " (leftover)" : "");
        break;
      case Decision::Kind::kAlreadyNamed:
        line += "=";
        break;
      case Decision::Kind::kNameTaken:
        line += "!";
        break;
    }
    decided.push_back(line);
  }
  return decided;
}

TEST(PlannerTest, DecidesEachFileAgainstTheNamesAsTheyWillStand) {
  constexpr char k42[] = "20160830124842";
  constexpr char k43[] = "20160830124843";
  struct Case {
    const char* what;
    std::set<std::string> names;  // in the folder /p/ before the run
    bool fold, countUp;
    std::vector<File> files;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"a free name", {"/p/a.jpg"}, false, true, {{"a.jpg", k42}}, {"a.jpg>20160830124842.JPG"}},
      {"its own name", {"/p/20160830124842.JPG"}, false, true, {{"20160830124842.JPG", k42}},
       {"20160830124842.JPG="}},
      {"its own name, in another case where case does not count",
       {"/p/20160830124842.jpg"}, true, true, {{"20160830124842.jpg", k42}},
       {"20160830124842.jpg="}},
      {"the same in a folder where case counts", {"/p/20160830124842.jpg"}, false, true,
       {{"20160830124842.jpg", k42}}, {"20160830124842.jpg>20160830124842.JPG"}},
      {"taken, not counting up", {"/p/a.jpg", "/p/20160830124842.JPG"}, false, false,
       {{"a.jpg", k42}}, {"a.jpg!"}},
      {"taken in another case where case does not count",
       {"/p/a.jpg", "/p/20160830124842.jpg"}, true, true, {{"a.jpg", k42}},
       {"a.jpg>20160830124843.JPG"}},
      {"counted up past names taken on the disk and by the plan",
       {"/p/a.jpg", "/p/b.jpg", "/p/20160830124843.JPG"}, false, true,
       {{"a.jpg", k42}, {"b.jpg", k42}}, {"a.jpg>20160830124842.JPG", "b.jpg>20160830124844.JPG"}},
      {"a name freed by an earlier rename is free for a later file",
       {"/p/20160830124842.JPG", "/p/z.jpg"}, false, false,
       {{"20160830124842.JPG", k43}, {"z.jpg", k42}},
       {"20160830124842.JPG>20160830124843.JPG", "z.jpg>20160830124842.JPG"}},
      {"a file that keeps its counted-up name keeps it",
       {"/p/a.jpg", "/p/20160830124843.JPG"}, false, true,
       {{"a.jpg", k42}, {"20160830124843.JPG", k42}},
       {"a.jpg>20160830124842.JPG", "20160830124843.JPG="}},
      {"the name a run that did not end gave it, cut off half way",
       {"/p/a.jpg", "/p/20160830124842.JPG"}, false, true,
       {{"a.jpg", k42, "/p/20160830124842.JPG"}},
       {"a.jpg>20160830124842.JPG (leftover)"}},
      {"a taken name that is not the unfinished run's",
       {"/p/b.jpg", "/p/20160830124842.JPG"}, false, false,
       {{"b.jpg", k42, "/p/20160830124842.JPG"}}, {"b.jpg!"}},
  };
  for (const Case& c : cases) {
    NamesInMemory view(c.names, c.fold, {{"/p/a.jpg", "/p/20160830124842.JPG"}});
    EXPECT_EQ(Plan(view, c.fold, c.countUp, c.files), c.expected) << c.what;
  }
}

TEST(PlannerTest, CountingUpResumesWhereItStoppedAndGivesUpOnceEveryCountIsTaken) {
  // Every name of the second's counter is taken but the last: the first file walks the whole
  // counter once; the later ones resume there and find it taken.
  std::set<std::string> names{"/p/a.jpg", "/p/b.jpg"};
  for (int counter = 0; counter < kCounterValues - 1; ++counter) {
    std::string name = "201608301" + std::to_string(kCounterValues + counter).substr(1);
    names.insert("/p/" + name + ".JPG");
  }
  NamesInMemory view(names, false);
  EXPECT_EQ(Plan(view, false, true, {{"a.jpg", "20160830100000"}, {"b.jpg", "20160830100000"}}),
            (std::vector<std::string>{"a.jpg>20160830199999.JPG", "b.jpg!"}));
}

}  // namespace
}  // namespace tokiren
