// The helper processes on Windows: a job object and a token that can open nothing for each,
// anonymous pipes, handles duplicated into the helper, a reading thread per helper. Win32 only.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "media/helper_process.h"
#include "media/helper_protocol.h"
#include "platform/wide_path.h"

namespace tokiren::media {

const char kHelperFileName[] = "tokiren-media-helper.exe";

namespace {

// Room in each pipe: far more than the requests and answers of kMaxInFlight files.
constexpr DWORD kPipeBytes = 64 * 1024;
constexpr DWORD kReadChunk = 4096;
// A helper's committed memory at most, as RLIMIT_DATA bounds it on POSIX.
constexpr SIZE_T kHelperMemoryBytes = SIZE_T{512} << 20;
// The low mandatory integrity level, S-1-16-4096.
constexpr DWORD kLowIntegrityRid = SECURITY_MANDATORY_LOW_RID;

class Handle {
 public:
  explicit Handle(HANDLE handle = nullptr) : handle_(handle) {}
  ~Handle() { Close(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  Handle(Handle&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
  Handle& operator=(Handle&& other) noexcept {
    if (this != &other) {
      Close();
      handle_ = other.handle_;
      other.handle_ = nullptr;
    }
    return *this;
  }
  HANDLE get() const { return handle_; }
  HANDLE* out() {
    Close();
    return &handle_;
  }
  void Close() {
    if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  HANDLE handle_;
};

// What the system says of `error`, in its own words, as one line.
std::string SystemText(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string said = length > 0 ? Narrow(std::wstring_view(text, length)) : std::string();
  LocalFree(text);
  while (!said.empty() && (said.back() == '\n' || said.back() == '\r' || said.back() == ' ')) {
    said.pop_back();
  }
  return said.empty() ? "error " + std::to_string(error) : said;
}

std::string Failed(const std::string& what) {
  const DWORD error = GetLastError();
  return what + ": " + SystemText(error);
}

bool SetLowIntegrity(HANDLE token) {
  SID_IDENTIFIER_AUTHORITY mandatory = SECURITY_MANDATORY_LABEL_AUTHORITY;
  PSID low = nullptr;
  if (!AllocateAndInitializeSid(&mandatory, 1, kLowIntegrityRid, 0, 0, 0, 0, 0, 0, 0, &low)) {
    return false;
  }
  TOKEN_MANDATORY_LABEL label{};
  label.Label.Attributes = SE_GROUP_INTEGRITY;
  label.Label.Sid = low;
  const bool set = SetTokenInformation(token, TokenIntegrityLevel, &label,
                                       sizeof label + GetLengthSid(low)) != 0;
  FreeSid(low);
  return set;
}

// The helper's two tokens, from this process's own: `primary` can open nothing (no privilege,
// every group and the user deny-only, the NULL SID as its one restricting SID, low integrity);
// `initial`, a low-integrity impersonation copy, lets the helper load before it drops it.
bool MakeTokens(Handle* primary, Handle* initial, std::string* detail) {
  Handle own;
  if (!OpenProcessToken(GetCurrentProcess(),
                        TOKEN_DUPLICATE | TOKEN_QUERY | TOKEN_ASSIGN_PRIMARY | TOKEN_ADJUST_DEFAULT,
                        own.out())) {
    *detail = Failed("cannot read this process's token");
    return false;
  }
  DWORD size = 0;
  GetTokenInformation(own.get(), TokenGroups, nullptr, 0, &size);
  std::vector<std::uint8_t> groupBytes(size);
  DWORD userSize = 0;
  GetTokenInformation(own.get(), TokenUser, nullptr, 0, &userSize);
  std::vector<std::uint8_t> userBytes(userSize);
  if (size == 0 || userSize == 0 ||
      !GetTokenInformation(own.get(), TokenGroups, groupBytes.data(), size, &size) ||
      !GetTokenInformation(own.get(), TokenUser, userBytes.data(), userSize, &userSize)) {
    *detail = Failed("cannot read this process's groups");
    return false;
  }
  const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(groupBytes.data());
  const auto* user = reinterpret_cast<const TOKEN_USER*>(userBytes.data());
  std::vector<SID_AND_ATTRIBUTES> denied;
  denied.push_back({user->User.Sid, 0});
  for (DWORD i = 0; i < groups->GroupCount; ++i) {
    // The integrity label and the logon SID stay: neither grants access to the user's files.
    if (groups->Groups[i].Attributes & (SE_GROUP_INTEGRITY | SE_GROUP_LOGON_ID)) continue;
    denied.push_back({groups->Groups[i].Sid, 0});
  }
  BYTE nullSid[SECURITY_MAX_SID_SIZE];
  DWORD nullSize = sizeof nullSid;
  if (!CreateWellKnownSid(WinNullSid, nullptr, nullSid, &nullSize)) {
    *detail = Failed("cannot make the NULL SID");
    return false;
  }
  SID_AND_ATTRIBUTES restricting{nullSid, 0};
  if (!CreateRestrictedToken(own.get(), DISABLE_MAX_PRIVILEGE, static_cast<DWORD>(denied.size()),
                             denied.data(), 0, nullptr, 1, &restricting, primary->out()) ||
      !SetLowIntegrity(primary->get())) {
    *detail = Failed("cannot make the helper's restricted token");
    return false;
  }
  if (!DuplicateTokenEx(own.get(), TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation,
                        TokenImpersonation, initial->out()) ||
      !SetLowIntegrity(initial->get())) {
    *detail = Failed("cannot make the helper's initial token");
    return false;
  }
  return true;
}

// A job that holds one helper: it dies with the job (the pool's handle closing, or the pool
// ending), may not break away nor start a process of its own, commits no more than its memory
// limit, dies on an unhandled exception without a dialog, and may not touch the user's desktop.
bool MakeJob(Handle* job, std::string* detail) {
  *job = Handle(CreateJobObjectW(nullptr, nullptr));
  if (job->get() == nullptr) {
    *detail = Failed("cannot make a job for the helper");
    return false;
  }
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags =
      JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_ACTIVE_PROCESS |
      JOB_OBJECT_LIMIT_PROCESS_MEMORY | JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION;
  limits.BasicLimitInformation.ActiveProcessLimit = 1;
  limits.ProcessMemoryLimit = kHelperMemoryBytes;
  JOBOBJECT_BASIC_UI_RESTRICTIONS ui{};
  ui.UIRestrictionsClass = JOB_OBJECT_UILIMIT_DESKTOP | JOB_OBJECT_UILIMIT_DISPLAYSETTINGS |
                           JOB_OBJECT_UILIMIT_EXITWINDOWS | JOB_OBJECT_UILIMIT_GLOBALATOMS |
                           JOB_OBJECT_UILIMIT_HANDLES | JOB_OBJECT_UILIMIT_READCLIPBOARD |
                           JOB_OBJECT_UILIMIT_SYSTEMPARAMETERS | JOB_OBJECT_UILIMIT_WRITECLIPBOARD;
  if (!SetInformationJobObject(job->get(), JobObjectExtendedLimitInformation, &limits,
                               sizeof limits) ||
      !SetInformationJobObject(job->get(), JobObjectBasicUIRestrictions, &ui, sizeof ui)) {
    *detail = Failed("cannot limit the helper's job");
    return false;
  }
  return true;
}

class Win32HelperProcess final : public HelperProcess {
 public:
  Win32HelperProcess(Handle job, Handle process, Handle requests, Handle answers)
      : job_(std::move(job)), process_(std::move(process)), requests_(std::move(requests)),
        answers_(std::move(answers)), arrived_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    reader_ = std::thread([this] { ReadAnswers(); });
  }

  ~Win32HelperProcess() override {
    TerminateJobObject(job_.get(), 1);
    TerminateProcess(process_.get(), 1);  // where the system keeps no job
    WaitForSingleObject(process_.get(), INFINITE);
    requests_.Close();
    // The helper's end of the answer pipe went with it: the reading thread sees the pipe broken.
    reader_.join();
  }

  bool SendFile(std::intptr_t file) override {
    HANDLE remote = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), reinterpret_cast<HANDLE>(file), process_.get(),
                         &remote, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
      return false;
    }
    // A request the helper never takes dies with it, the duplicate in it too.
    return SendHandle(requests_.get(),
                      static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(remote)));
  }

  bool Receive(std::string* received) override {
    const std::lock_guard<std::mutex> lock(mutex_);
    received->append(arrivedBytes_);
    const bool had = !arrivedBytes_.empty();
    arrivedBytes_.clear();
    if (!ended_) ResetEvent(arrived_.get());
    return had || !ended_;
  }

  HANDLE arrived() const { return arrived_.get(); }

 private:
  void ReadAnswers() {
    char chunk[kReadChunk];
    for (;;) {
      DWORD got = 0;
      const bool read = ReadFile(answers_.get(), chunk, sizeof chunk, &got, nullptr) && got > 0;
      const std::lock_guard<std::mutex> lock(mutex_);
      if (read) {
        arrivedBytes_.append(chunk, got);
      } else {
        ended_ = true;
      }
      SetEvent(arrived_.get());
      if (!read) return;
    }
  }

  Handle job_;
  Handle process_;
  Handle requests_;  // the pool's end of the helper's standard input
  Handle answers_;   // the pool's end of the helper's standard output
  Handle arrived_;   // set while bytes or the end wait to be received
  std::mutex mutex_;
  std::string arrivedBytes_;
  bool ended_ = false;
  std::thread reader_;
};

}  // namespace

std::unique_ptr<HelperProcess> StartHelperProcess(const std::string& path, std::string* detail) {
  // The helper's ends are inheritable; the handle list passes these two and nothing else.
  Handle helperIn, requests, answers, helperOut;
  if (!CreatePipe(helperIn.out(), requests.out(), nullptr, kPipeBytes) ||
      !CreatePipe(answers.out(), helperOut.out(), nullptr, kPipeBytes) ||
      !SetHandleInformation(helperIn.get(), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT) ||
      !SetHandleInformation(helperOut.get(), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT)) {
    *detail = Failed("cannot make pipes for the helper");
    return nullptr;
  }
  Handle primary, initial, job;
  if (!MakeTokens(&primary, &initial, detail) || !MakeJob(&job, detail)) return nullptr;

  HANDLE passed[] = {helperIn.get(), helperOut.get()};
  SIZE_T attributeBytes = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &attributeBytes);
  std::vector<std::uint8_t> attributeList(attributeBytes);
  auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributeList.data());
  if (!InitializeProcThreadAttributeList(attributes, 1, 0, &attributeBytes) ||
      !UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, passed,
                                 sizeof passed, nullptr, nullptr)) {
    *detail = Failed("cannot pass the pipes to the helper");
    return nullptr;
  }
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdInput = helperIn.get();
  startup.StartupInfo.hStdOutput = helperOut.get();
  startup.StartupInfo.hStdError = nullptr;
  startup.lpAttributeList = attributes;
  const std::wstring program = WidenPath(path);
  std::wstring commandLine = L"\"" + Widen(path) + L"\"";
  PROCESS_INFORMATION started{};
  const BOOL created = CreateProcessAsUserW(
      primary.get(), program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
      CREATE_SUSPENDED | CREATE_NO_WINDOW | EXTENDED_STARTUPINFO_PRESENT, nullptr, nullptr,
      &startup.StartupInfo, &started);
  DeleteProcThreadAttributeList(attributes);
  if (!created) {
    *detail = Failed("cannot start " + path);
    return nullptr;
  }
  Handle process(started.hProcess), thread(started.hThread);
  HANDLE threadHandle = thread.get();
  // Nothing of it runs before it is in its job and its first thread holds the initial token.
  if (!AssignProcessToJobObject(job.get(), process.get()) ||
      !SetThreadToken(&threadHandle, initial.get()) || ResumeThread(thread.get()) == DWORD(-1)) {
    *detail = Failed("cannot confine " + path);
    TerminateProcess(process.get(), 1);
    WaitForSingleObject(process.get(), INFINITE);
    return nullptr;
  }
  return std::make_unique<Win32HelperProcess>(std::move(job), std::move(process),
                                              std::move(requests), std::move(answers));
}

void WaitForHelpers(const std::vector<HelperProcess*>& helpers,
                    std::chrono::milliseconds timeout) {
  std::vector<HANDLE> events;
  for (HelperProcess* helper : helpers) {
    if (events.size() == MAXIMUM_WAIT_OBJECTS) break;
    events.push_back(static_cast<Win32HelperProcess*>(helper)->arrived());
  }
  if (events.empty()) return;
  WaitForMultipleObjects(static_cast<DWORD>(events.size()), events.data(), FALSE,
                         static_cast<DWORD>(std::max<long long>(0, timeout.count())));
}

std::size_t MostFilesForHelpers() { return SIZE_MAX; }

}  // namespace tokiren::media
