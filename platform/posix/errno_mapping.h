// POSIX errno values turned into the program's error codes.
#pragma once

#include <string>

#include "platform/error_code.h"

namespace tokiren {

// The one place where errno becomes an ErrorCode. `folder` is the folder whose existence tells
// a missing file (kFileNotFound) from a missing path (kPathNotFound) when `err` is ENOENT: the
// folder holding the file for an operation on a file, the folder itself for a listing. Every errno
// the table does not name comes back unlisted with its own number.
ErrorCode ErrorCodeFromErrno(int err, const std::string& folder);

}  // namespace tokiren
