// The one UTF-8/UTF-16 conversion of the program (platform/wide_path.h), for a view on Windows:
// what the behaviour holds as UTF-8 becomes a wide control's text, and a path from the system
// comes back as the behaviour takes it. Windows only.
#pragma once

#include "platform/wide_path.h"
