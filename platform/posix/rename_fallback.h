// The rename used where the file system refuses renameat2's RENAME_NOREPLACE; declared apart so
// tests can run it on a file system that does support the flag.
#pragma once

#include <string>

#include "platform/error_code.h"

namespace tokiren {

// Gives the file `from` the name `to` by a hard link and the removal of `from`. The link fails on
// an existing `to`, so nothing is ever replaced. Where the file system refuses hard links the
// result is kPathFileAccessError and nothing has changed. Should the removal fail, the new link is
// taken away again and the removal's code returned.
ErrorCode RenameByLinkAndUnlink(const std::string& from, const std::string& to);

}  // namespace tokiren
