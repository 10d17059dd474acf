// Sealing tokiren-media-helper (Linux) before it reads a byte of any file: from then on it can
// read and answer on the descriptors it holds or is handed, and open, reach or start nothing.
#pragma once

namespace tokiren::media {

// Seals the calling process, or ends it with a non-zero status where a step that must hold did
// not take. Call after InitializeMetadataLibraries (which may still load files) and before the
// first file is taken. In order:
//  - the process dies with its parent (SIGKILL), and ends at once unless its parent is
//    `poolPid`, the decimal process id the pool passes as the first argument (nullptr: no check).
//    The parent-death signal follows the thread that started the helper.
//  - its own network namespace, where the kernel grants one (as root directly, otherwise inside
//    a new user namespace); a refusal is let pass.
//  - as root: no supplementary groups, and the user and group of "nobody" (65534 if there is no
//    such user). The process ends rather than go on as root.
//  - resource limits: data memory (off under AddressSanitizer), no file written, few descriptors.
//  - no new privileges; Landlock with every file-system, network and scope right handled and
//    none granted (skipped where the kernel has no Landlock: the rest still applies).
//  - a system-call filter: the calls that reading given descriptors, memory and answering need;
//    a foreign architecture's call kills the process, any other call fails with EPERM.
void SealHelper(const char* poolPid);

}  // namespace tokiren::media
