// The process's own module: the one instance handle the program gets.
#pragma once

#include <string>

#include "platform/win32.h"

namespace platform {

// The handle GetModuleHandle(NULL) returns; valid for the whole run.
HINSTANCE ProcessModule();

// The executable's path in the file system's encoding, or empty when it cannot be found.
std::string ExecutablePath();

}  // namespace platform
