// Who may do what with the program's own files on Windows: the current user, and the accounts that
// run the machine (SYSTEM, the Administrators group), which stand where root stands on POSIX.
#pragma once

#include <windows.h>

#include "platform/error_code.h"

namespace tokiren {

// Security attributes that make a new file or folder the current user's only: full control for the
// user, SYSTEM and the Administrators, nothing for anyone else, nothing inherited from the folder.
// null when the user's account cannot be read; the system's defaults then apply.
SECURITY_ATTRIBUTES* PrivateSecurity();

// Checks the open `handle`'s owner and permissions: the owner must be the current user (or, with
// `machineMayOwn`, SYSTEM or the Administrators), and no one else may be granted any of `refused`.
// kPathFileAccessError when either fails or the permissions cannot be read.
ErrorCode CheckOwnedAndGuarded(HANDLE handle, ACCESS_MASK refused, bool machineMayOwn);

}  // namespace tokiren
