// Where the program keeps its log and settings files.
#pragma once

#include <string>

#include "platform/error_code.h"

namespace tokiren {

// The folder that holds the running executable (not the working folder), ending with the path
// separator; "" when the platform cannot tell. Windows: from GetModuleFileNameW.
std::string ExecutableFolder();

// The user's own folder for the program's data, ending with the path separator ("" when the
// platform cannot tell). POSIX: $XDG_DATA_HOME/tokiren/, by default ~/.local/share/tokiren/.
// Windows: %LOCALAPPDATA%\Tokiren\.
std::string UserDataFolder();

// Whether `path` is a program: a regular file that may be executed. The program's own files are
// never made executable. Windows: a file whose name ends with .exe, .com, .bat or .cmd.
bool IsProgramFile(const std::string& path);

// Whether the current user may create and replace files in `folder`. Windows, whose access rules
// are too rich to read off: found out by making a file there, removed at once.
bool CanWriteFolder(const std::string& folder);

// Creates `folder` and every missing folder above it, for the current user only (POSIX: 0700;
// Windows: a protected DACL granting the user, SYSTEM and the Administrators alone).
ErrorCode MakeFolders(const std::string& folder);

}  // namespace tokiren
