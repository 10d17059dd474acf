// tokiren-cli.exe --taken on photos and videos made on Linux by the media tests' tools
// (tests/media/make_media_files.sh), read by tokiren-media-helper.exe, then Reset.
#include <windows.h>
#include <tlhelp32.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/wide_path.h"
#include "tests/cli/cli_test_support.h"

namespace tokiren {
namespace {

using testing::CliTest;
using testing::RunCli;

std::string MediaBytes(const std::string& name) {
  std::ifstream in(std::string(TOKIREN_MEDIA_FILES) + name, std::ios::binary);
  EXPECT_TRUE(in.good()) << name;
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(CliTest, TakenNamesPhotosAndMoviesAfterTheirCaptureTimeThenResetRestoresThem) {
  const std::time_t written = testing::LocalTimestamp(2001, 2, 3, 4, 5, 6);
  const struct {
    const char* name;
    const char* from;
  } files[] = {
      {"IMG_0001.JPG", "all-tags.jpg"},  // taken 2016-08-30 12:48:42
      {"IMG_0002.JPG", "untagged.jpg"},
      {"IMG_0003.JPG", "cut.jpg"},
      {"MVI_0004.MOV", "winter.mov"},  // 2016-01-15 17:00:00 UTC, in UTC here
  };
  for (const auto& file : files) {
    tree_.Write(std::string("photos/") + file.name, MediaBytes(file.from), written);
  }
  tree_.MakeFolder("app");
  const testing::CliResult run =
      RunCli(scratch_, {"run", tree_ / "photos", "--ext", "jpg", "--ext", "mov", "--taken",
                        "--log-dir", tree_ / "app"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(tree_.Names("photos"),
            (std::vector<std::string>{"20010203040506.JPG", "20010203040507.JPG",
                                      "20160115170000.MOV", "20160830124842.JPG"}));
  EXPECT_NE(run.err.find("4 files renamed\n2 files had no capture time and were named after "
                         "their last-write time\n"),
            std::string::npos)
      << run.err;
  const testing::CliResult reset = RunCli(scratch_, {"reset", "--log-dir", tree_ / "app"});
  EXPECT_EQ(reset.status, 0) << reset.err;
  EXPECT_EQ(tree_.Names("photos"), (std::vector<std::string>{"IMG_0001.JPG", "IMG_0002.JPG",
                                                             "IMG_0003.JPG", "MVI_0004.MOV"}));
}

// The process ids of the children of process `parent`.
std::vector<DWORD> ChildrenOf(DWORD parent) {
  std::vector<DWORD> children;
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    if (entry.th32ParentProcessID == parent) children.push_back(entry.th32ProcessID);
  }
  CloseHandle(snapshot);
  return children;
}

// A helper stuck in a parser when tokiren-cli is ended from outside goes with it: its job kills
// it once the last handle to the job, tokiren-cli's, is gone.
TEST_F(CliTest, AHelperEndsWithTheProgramThatStartedIt) {
  namespace fs = std::filesystem;
  const std::string program = tree_.MakeFolder("program");
  fs::copy_file(testing::CliPath(), program + "\\tokiren-cli.exe");
  // The faulty helper in the real one's place: it never answers for a file named hang-me.
  fs::copy_file(ExecutableFolder() + TOKIREN_FAULTY_MEDIA_HELPER,
                program + "\\tokiren-media-helper.exe");
  tree_.Write("photos/hang-me.jpg", MediaBytes("hang-me.jpg"));
  tree_.MakeFolder("app");
  std::wstring command = L"\"" + Widen(program) + L"\\tokiren-cli.exe\" run \"" +
                         Widen(tree_ / "photos") + L"\" --ext jpg --taken --log-dir \"" +
                         Widen(tree_ / "app") + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION cli{};
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                             nullptr, nullptr, &startup, &cli));
  CloseHandle(cli.hThread);
  std::vector<DWORD> helpers;
  for (int tries = 0; tries < 100 && helpers.empty(); ++tries) {
    Sleep(50);
    helpers = ChildrenOf(cli.dwProcessId);
  }
  ASSERT_EQ(helpers.size(), 1u);
  const HANDLE helper = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, helpers[0]);
  ASSERT_NE(helper, nullptr);
  // While the helper hangs on the photo, well within the time limit.
  Sleep(500);
  EXPECT_EQ(WaitForSingleObject(helper, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  TerminateProcess(cli.hProcess, 9);
  WaitForSingleObject(cli.hProcess, INFINITE);
  CloseHandle(cli.hProcess);
  EXPECT_EQ(WaitForSingleObject(helper, 3000), static_cast<DWORD>(WAIT_OBJECT_0));
  TerminateProcess(helper, 9);  // leaves nothing behind should the check fail
  CloseHandle(helper);
}

}  // namespace
}  // namespace tokiren
