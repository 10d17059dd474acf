// Sealing the helper: the parent-death signal, a network namespace, credentials, resource limits,
// Landlock and a seccomp filter. Linux only; x86-64 and AArch64.
#include "media/helper_seal.h"

#include <grp.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/landlock.h>
#include <linux/seccomp.h>
#include <pwd.h>
#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#ifdef TOKIREN_ADDRESS_SANITIZER
#include <sanitizer/lsan_interface.h>
#endif

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

// Landlock rights newer than some installed kernel headers; the values are the kernel's ABI.
#ifndef LANDLOCK_ACCESS_FS_REFER
#define LANDLOCK_ACCESS_FS_REFER (1ULL << 13)
#endif
#ifndef LANDLOCK_ACCESS_FS_TRUNCATE
#define LANDLOCK_ACCESS_FS_TRUNCATE (1ULL << 14)
#endif
#ifndef LANDLOCK_ACCESS_FS_IOCTL_DEV
#define LANDLOCK_ACCESS_FS_IOCTL_DEV (1ULL << 15)
#endif
#ifndef LANDLOCK_ACCESS_NET_BIND_TCP
#define LANDLOCK_ACCESS_NET_BIND_TCP (1ULL << 0)
#endif
#ifndef LANDLOCK_ACCESS_NET_CONNECT_TCP
#define LANDLOCK_ACCESS_NET_CONNECT_TCP (1ULL << 1)
#endif
#ifndef LANDLOCK_SCOPE_ABSTRACT_UNIX_SOCKET
#define LANDLOCK_SCOPE_ABSTRACT_UNIX_SOCKET (1ULL << 0)
#endif
#ifndef LANDLOCK_SCOPE_SIGNAL
#define LANDLOCK_SCOPE_SIGNAL (1ULL << 1)
#endif
#ifndef SECCOMP_RET_KILL_PROCESS
#define SECCOMP_RET_KILL_PROCESS 0x80000000U
#endif

namespace tokiren::media {
namespace {

#if defined(__x86_64__)
constexpr std::uint32_t kAuditArch = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr std::uint32_t kAuditArch = AUDIT_ARCH_AARCH64;
#else
#error "the helper's system-call filter knows x86-64 and AArch64 only"
#endif

constexpr int kSealFailed = 2;
constexpr uid_t kNobodyId = 65534;

#ifndef TOKIREN_ADDRESS_SANITIZER
// The data memory (heap and private writable mappings) one helper may hold. A photo's or a movie
// header's metadata needs a few MiB, a file that cannot be mapped costs its first 64 MiB read;
// a crafted file that makes a library allocate without end costs that file alone. The file's
// mapping itself is read-only and does not count.
constexpr rlim_t kDataBytes = rlim_t{512} << 20;
#endif
// The socket, the standard streams and the one file being read, with room to spare.
constexpr rlim_t kOpenFiles = 16;

struct Account {
  uid_t uid;
  gid_t gid;
};

// Looked up while files can still be read (the user database, its NSS modules).
Account UnprivilegedAccount() {
  if (const passwd* entry = getpwnam("nobody")) return {entry->pw_uid, entry->pw_gid};
  return {kNobodyId, kNobodyId};
}

bool ParentIs(const char* poolPid) {
  char* end = nullptr;
  errno = 0;
  const long pid = std::strtol(poolPid, &end, 10);
  return errno == 0 && end != poolPid && *end == '\0' && pid > 0 && getppid() == pid;
}

void DieWithParent(const char* poolPid) {
  if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) _exit(kSealFailed);
  // The parent may have gone before the signal was asked for.
  if (poolPid != nullptr && !ParentIs(poolPid)) _exit(kSealFailed);
}

// A network namespace of its own has no interface but a loopback that is down.
void LeaveNetwork() {
  if (geteuid() == 0) {
    unshare(CLONE_NEWNET);
  } else {
    unshare(CLONE_NEWUSER | CLONE_NEWNET);
  }
}

void DropRoot(const Account& account) {
  if (geteuid() != 0) return;
  if (setgroups(0, nullptr) != 0 || setresgid(account.gid, account.gid, account.gid) != 0 ||
      setresuid(account.uid, account.uid, account.uid) != 0) {
    _exit(kSealFailed);
  }
  uid_t real = 0, effective = 0, saved = 0;
  gid_t realGroup = 0, effectiveGroup = 0, savedGroup = 0;
  if (getresuid(&real, &effective, &saved) != 0 ||
      getresgid(&realGroup, &effectiveGroup, &savedGroup) != 0 || real == 0 || effective == 0 ||
      saved == 0 || realGroup == 0 || effectiveGroup == 0 || savedGroup == 0) {
    _exit(kSealFailed);
  }
}

void LimitResources() {
#ifndef TOKIREN_ADDRESS_SANITIZER
  // Both left off under AddressSanitizer: its shadow memory alone exceeds any data limit, and its
  // reports must reach a standard error that is a file.
  const rlimit data{kDataBytes, kDataBytes};
  // Nothing is written to a file; the write fails with EFBIG instead of raising SIGXFSZ (the
  // standard error may be a file).
  signal(SIGXFSZ, SIG_IGN);
  const rlimit noFile{0, 0};
  if (setrlimit(RLIMIT_DATA, &data) != 0 || setrlimit(RLIMIT_FSIZE, &noFile) != 0) {
    _exit(kSealFailed);
  }
#endif
  const rlimit openFiles{kOpenFiles, kOpenFiles};
  if (setrlimit(RLIMIT_NOFILE, &openFiles) != 0) _exit(kSealFailed);
}

// struct landlock_ruleset_attr as of ABI 6; a kernel of an older ABI is given the prefix it knows.
struct LandlockRuleset {
  std::uint64_t handledAccessFs;
  std::uint64_t handledAccessNet;
  std::uint64_t scoped;
};

// Every right the kernel's Landlock knows is handled and no rule grants any: no file can be
// opened, no TCP port bound or reached, no abstract socket or outside process signalled.
void RestrictWithLandlock() {
  const long abi =
      syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
  if (abi < 1) return;  // ENOSYS or EOPNOTSUPP: no Landlock here; the filter below still holds
  LandlockRuleset ruleset{};
  ruleset.handledAccessFs = (LANDLOCK_ACCESS_FS_MAKE_SYM << 1) - 1;  // the rights of ABI 1
  if (abi >= 2) ruleset.handledAccessFs |= LANDLOCK_ACCESS_FS_REFER;
  if (abi >= 3) ruleset.handledAccessFs |= LANDLOCK_ACCESS_FS_TRUNCATE;
  if (abi >= 5) ruleset.handledAccessFs |= LANDLOCK_ACCESS_FS_IOCTL_DEV;
  size_t size = offsetof(LandlockRuleset, handledAccessNet);
  if (abi >= 4) {
    ruleset.handledAccessNet = LANDLOCK_ACCESS_NET_BIND_TCP | LANDLOCK_ACCESS_NET_CONNECT_TCP;
    size = offsetof(LandlockRuleset, scoped);
  }
  if (abi >= 6) {
    ruleset.scoped = LANDLOCK_SCOPE_ABSTRACT_UNIX_SOCKET | LANDLOCK_SCOPE_SIGNAL;
    size = sizeof ruleset;
  }
  const long fd = syscall(SYS_landlock_create_ruleset, &ruleset, size, 0);
  if (fd < 0) _exit(kSealFailed);
  const long restricted = syscall(SYS_landlock_restrict_self, fd, 0);
  close(static_cast<int>(fd));
  if (restricted != 0) _exit(kSealFailed);
}

// What reading handed descriptors, managing memory, answering and dying need. Everything else
// fails with EPERM, so a library's unexpected call (a stat, an open of a zone file) fails softly.
constexpr int kAllowedCalls[] = {
    SYS_read,          SYS_write,        SYS_readv,       SYS_writev,
    SYS_pread64,       SYS_lseek,        SYS_close,       SYS_recvmsg,
    SYS_sendmsg,       SYS_recvfrom,     SYS_sendto,      SYS_munmap,
    SYS_mremap,        SYS_madvise,      SYS_brk,         SYS_futex,
    SYS_exit,          SYS_exit_group,   SYS_rt_sigreturn, SYS_rt_sigprocmask,
    SYS_clock_gettime, SYS_gettimeofday, SYS_getpid,      SYS_gettid,
    SYS_getrandom,     SYS_sched_yield,
#ifdef TOKIREN_ADDRESS_SANITIZER
    // The sanitizers test whether memory is readable by writing it into a pipe (the vptr check
    // of UndefinedBehaviorSanitizer, the printing of a report), and AddressSanitizer looks up the
    // signal stack on every exception thrown.
    SYS_pipe2,         SYS_sigaltstack,
#endif
};
// Allowed only without PROT_EXEC (their third argument): no code is made from a file's bytes.
constexpr int kNoExecCalls[] = {SYS_mmap, SYS_mprotect};

void InstallFilter() {
  constexpr std::uint32_t kAllow = SECCOMP_RET_ALLOW;
  constexpr std::uint32_t kRefuse = SECCOMP_RET_ERRNO | (EPERM & SECCOMP_RET_DATA);
  std::vector<sock_filter> program = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kAuditArch, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
  };
#if defined(__x86_64__)
  // The x32 calls share the architecture value and are told by this bit in the number.
  program.push_back(BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, __X32_SYSCALL_BIT, 0, 1));
  program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS));
#endif
  for (const int call : kAllowedCalls) {
    program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<std::uint32_t>(call), 0, 1));
    program.push_back(BPF_STMT(BPF_RET | BPF_K, kAllow));
  }
  // tgkill at the helper itself only (abort raises its signal so): it signals no other process
  // of the user's, on kernels whose Landlock cannot scope signals too.
  const auto self = static_cast<std::uint32_t>(getpid());
  program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_tgkill, 0, 4));
  program.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args)));
  program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, self, 0, 1));
  program.push_back(BPF_STMT(BPF_RET | BPF_K, kAllow));
  program.push_back(BPF_STMT(BPF_RET | BPF_K, kRefuse));
  // The low half of the protection argument (little-endian on both architectures), then back to
  // the call number for the next test.
  constexpr std::uint32_t kProtection = offsetof(seccomp_data, args) + 2 * sizeof(std::uint64_t);
  for (const int call : kNoExecCalls) {
    program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<std::uint32_t>(call), 0, 4));
    program.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, kProtection));
    program.push_back(BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, PROT_EXEC, 0, 1));
    program.push_back(BPF_STMT(BPF_RET | BPF_K, kRefuse));
    program.push_back(BPF_STMT(BPF_RET | BPF_K, kAllow));
  }
  program.push_back(BPF_STMT(BPF_RET | BPF_K, kRefuse));
  const sock_fprog filter{static_cast<unsigned short>(program.size()), program.data()};
  if (syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, SECCOMP_FILTER_FLAG_TSYNC, &filter) != 0) {
    _exit(kSealFailed);
  }
}

}  // namespace

void SealHelper(const char* poolPid) {
#ifdef TOKIREN_ADDRESS_SANITIZER
  // LeakSanitizer's check at exit stops the process's threads from a thread of its own, which the
  // filter refuses: the check runs here instead, over the start-up, and not again. The readers'
  // leaks show in their tests and the fuzz target, which run unsealed.
  __lsan_do_leak_check();
#endif
  DieWithParent(poolPid);
  const Account account = UnprivilegedAccount();
  LeaveNetwork();
  DropRoot(account);
  // A change of credentials clears the parent-death signal: asked for again.
  DieWithParent(poolPid);
  LimitResources();
  if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) _exit(kSealFailed);
  RestrictWithLandlock();
  InstallFilter();
}

}  // namespace tokiren::media
