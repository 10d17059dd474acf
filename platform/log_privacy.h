// Checks that the log, its lock and their folder are the user's own before a run or a Reset uses
// them.
//
// Why: Reset carries out, in reverse, every rename the log lists. Whoever can rewrite the log can
// make the victim's next Reset rename the victim's files as he pleases; whoever can replace the
// folder's entries can do the same by putting his own log in place. Whoever can open the lock, even
// read-only, can hold flock on it and keep every run and Reset from starting.
//
// Each check opens what it looks at once, without following a symbolic link, and examines what it
// opened (fstat), so that nothing can be swapped in between a test of a path and its use.
// Only the last component of a path is checked, not the folders above it.
//
// Windows reads the same rules off owners and DACLs: "owned by the current user" is the owner SID;
// "root" is SYSTEM or the Administrators, who may also be granted anything; "others may write" is
// an allowed ACE for anyone else with a right that changes the entry (on the folder: removing or
// renaming entries, FILE_DELETE_CHILD and DELETE; adding them is allowed, as in a sticky folder);
// "others may read" the lock is any such ACE with a read right, as a reader could open it without
// sharing and so hold it. A reparse point (symbolic link, junction) stands where POSIX says
// symbolic link; FIFOs and sockets have no counterpart among files.
#pragma once

#include <string>

#include "platform/error_code.h"

namespace tokiren {

// Checks the folder that holds the log and the lock. `folder` is a path ending with the path
// separator (a path without it is read the same way).
// Refuses with kPathFileAccessError:
//   - a folder owned by anyone but the current user or root (root can do anything anyway);
//   - a folder others or the group may write to without the sticky bit: they could rename or
//     delete the log and put their own in its place. A sticky folder such as /tmp (1777) is
//     accepted: others may add entries but not replace or remove the user's, and a log or lock
//     they made in advance is refused by the checks below;
//   - a symbolic link in place of the folder: it is not followed, so the folder it names is not
//     what was checked. Give the real folder.
// Fails with kPathNotFound when the folder or a folder on the way is missing or not a folder.
// POSIX: "owned" and "current user" are the owner uid and the effective uid.
ErrorCode CheckLogFolderIsPrivate(const std::string& folder);

// Checks an existing log file at `path`; a missing one is fine (kSuccess): a run creates it.
// Refuses with kPathFileAccessError a log that is:
//   - not owned by the current user;
//   - writable by the group or others, who could then rewrite what Reset will do. A log readable
//     by others (0644) is accepted: a reader learns file names but cannot make Reset act. A run
//     should create the log 0600 all the same;
//   - not a regular file (a folder, a FIFO, a device, a socket), or a symbolic link: a link could
//     send the program's writes to a file of the attacker's choosing. A FIFO is refused without
//     waiting for a writer.
// Also refuses (kPathFileAccessError) a log the user may not open for reading.
ErrorCode CheckLogIsPrivate(const std::string& path);

// Checks an existing lock file at `path` like CheckLogIsPrivate, and refuses as well a lock that
// the group or others may read: flock needs only a descriptor, so a reader can hold the lock. The
// lock should be created 0600 for this check to pass; a missing one is fine (kSuccess).
ErrorCode CheckLockIsPrivate(const std::string& path);

}  // namespace tokiren
