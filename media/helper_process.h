// One running tokiren-media-helper and the channel to it (helper_protocol.h), for the pool: how a
// helper is started, handed files, listened to and ended on each system.
//   POSIX (helper_process_posix.cpp): posix_spawn with a Unix stream socket as its standard input
//     and output; the helper seals itself (helper_seal.h) and dies with the pool.
//   Windows (helper_process_win32.cpp): CreateProcessAsUserW, suspended, into a job object of its
//     own (killed when the job's last handle closes, the pool's going included; no breakaway; no
//     process of its own; a memory limit; no unhandled-exception dialog), with a token that
//     cannot open anything: every group deny-only, no privilege, the NULL SID as its one
//     restricting SID, at low integrity. Its first thread starts impersonating a low-integrity
//     copy of the pool's token, which loads the program; the helper drops it (RevertToSelf)
//     before it takes a file. Anonymous pipes are its standard input and output; each file's
//     handle is duplicated into it. A thread per helper reads its answers.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tokiren::media {

class HelperProcess {
 public:
  // Ends the helper at once (it holds nothing of value and may be stuck inside a parser) and
  // waits until it is gone.
  virtual ~HelperProcess() = default;
  // Hands the open file `file` (a descriptor, or a HANDLE) over; it stays the caller's. False
  // when the helper is gone.
  virtual bool SendFile(std::intptr_t file) = 0;
  // Appends to `received` the answer bytes that have come, without waiting; false once the
  // helper has ended (crashed, killed by its memory limit, or closed its end).
  virtual bool Receive(std::string* received) = 0;
};

// Starts the helper at `path`; null, with `detail` saying why in the system's words, when it
// cannot be started.
std::unique_ptr<HelperProcess> StartHelperProcess(const std::string& path, std::string* detail);

// Waits until one of `helpers` has answer bytes to receive or has ended, or `timeout` passes.
void WaitForHelpers(const std::vector<HelperProcess*>& helpers, std::chrono::milliseconds timeout);

// How many files this process may hold open for the helpers at most: half of its limit of
// descriptors on POSIX; Windows sets no such limit.
std::size_t MostFilesForHelpers();

// The helper's file name beside the running program: "tokiren-media-helper", ".exe" on Windows.
extern const char kHelperFileName[];

}  // namespace tokiren::media
