// Where the program keeps its log and settings files.
#pragma once

#include <string>

namespace tokiren {

// The folder that holds the running executable (not the working folder), ending with the path
// separator; "" when the platform cannot tell.
std::string ExecutableFolder();

}  // namespace tokiren
