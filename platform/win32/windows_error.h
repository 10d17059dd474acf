// Windows error numbers (GetLastError) turned into the program's error codes.
#pragma once

#include "platform/error_code.h"

namespace tokiren {

// The one place where a GetLastError number becomes an ErrorCode, which keeps the number as its
// `system`. Windows tells a missing file (kFileNotFound) from a missing folder on the way
// (kPathNotFound) itself. Every number the table does not name comes back unlisted with its own
// number.
ErrorCode ErrorCodeFromWindowsError(unsigned long error);

// ErrorCodeFromWindowsError(GetLastError()).
ErrorCode LastWindowsError();

}  // namespace tokiren
