// tokiren-cli --taken where no capture-time helper can be started: the run refuses before it
// renames anything, rather than name every photo after its last-write time.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tests/cli/cli_test_support.h"
#include "tests/media/media_files.h"

namespace tokiren {
namespace {

using testing::RunProgram;
using testing::TempTree;

class NoHelperTest : public testing::CliTest {
 protected:
  void SetUp() override {
    tree_.MakeFolder("photos");
    photo_ = tree_ / "photos/IMG_0001.JPG";
    ASSERT_TRUE(testing::MakeJpeg(photo_));
    ASSERT_TRUE(testing::SetExifText(photo_, "Exif.Photo.DateTimeOriginal", "2001:02:03 04:05:06"));
    tree_.MakeFolder("app");
    program_ = tree_.MakeFolder("program");
  }

  // A copy of tokiren-cli in a folder of its own, with `helper` beside it when not empty.
  std::string Install(bool withHelper) {
    namespace fs = std::filesystem;
    const std::string cli = program_ + "/tokiren-cli";
    fs::copy_file(testing::CliPath(), cli, fs::copy_options::overwrite_existing);
    if (withHelper) {
      fs::copy_file(ExecutableFolder() + "tokiren-media-helper", program_ + "/tokiren-media-helper",
                    fs::copy_options::overwrite_existing);
    }
    return cli;
  }

  // Runs `prefix` followed by the copy's run over the photos; expects a refusal that changed
  // nothing.
  void ExpectRefused(std::vector<std::string> prefix, const std::string& cli, const char* why) {
    std::vector<std::string> args = std::move(prefix);
    for (const std::string& arg : {cli, std::string("run"), tree_ / "photos", std::string("--ext"),
                                   std::string("jpg"), std::string("--taken"),
                                   std::string("--log-dir"), tree_ / "app"}) {
      args.push_back(arg);
    }
    const int status = RunProgram(args, scratch_ / "stdout", scratch_ / "stderr");
    const std::string err = scratch_.Read("stderr");
    EXPECT_EQ(status, 1) << why << ": " << err;
    EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"IMG_0001.JPG"})) << why;
    EXPECT_NE(err.find("tokiren-media-helper"), std::string::npos) << why << ": " << err;
    EXPECT_NE(err.find("0 files renamed"), std::string::npos) << why << ": " << err;
  }

  std::string photo_, program_;
};

TEST_F(NoHelperTest, ARunRefusesWhenTheHelperIsMissingOrNotExecutable) {
  ExpectRefused({}, Install(false), "missing");
  const std::string cli = Install(true);
  ASSERT_EQ(chmod((program_ + "/tokiren-media-helper").c_str(), 0644), 0);
  ExpectRefused({}, cli, "not executable");
}

TEST_F(NoHelperTest, ARunRefusesWithoutProcOrWithoutProcessesLeft) {
  if (geteuid() != 0) GTEST_SKIP() << "a mount namespace and another user need root";
  const std::string cli = Install(true);
  // Without /proc the running program's folder cannot be told: no helper is looked for in the
  // working folder, where one planted here would otherwise run.
  ExpectRefused({"/usr/bin/unshare", "--mount", "--propagation", "private", "--", "/bin/sh", "-c",
                 "umount -l /proc && cd \"$(dirname \"$1\")\" && exec \"$@\"", "sh"},
                cli, "no /proc");
  // As a user who may start no further process.
  for (const auto& entry : std::filesystem::recursive_directory_iterator(tree_.path())) {
    ASSERT_EQ(lchown(entry.path().c_str(), 65534, 65534), 0);
  }
  ASSERT_EQ(chown(tree_.path().c_str(), 65534, 65534), 0);
  ExpectRefused({"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
                 "/usr/bin/prlimit", "--nproc=1:1", "--",
                 // LeakSanitizer's check at exit needs a thread of its own, which the limit refuses.
                 "/usr/bin/env", "ASAN_OPTIONS=detect_leaks=0"},
                cli, "no processes left");
}

}  // namespace
}  // namespace tokiren
