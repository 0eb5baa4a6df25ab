// The thread's last error as the platform's calls leave it: a Win32 code, and the words of the
// failure where the call knew more than the code says (the file system's own reason, why the
// trash refused), which FormatMessageW gives back for that code.
#pragma once

#include <string>

#include "platform/win32.h"

namespace platform {

// The Win32 code for an errno value. ENOENT is ERROR_PATH_NOT_FOUND when `path`'s folder is
// missing too, as Win32 tells a missing folder from a missing file.
DWORD Win32Error(int error, const std::string& path = std::string());

// Sets the last error to `code`, with `reason` as its words.
void SetLastErrorWithReason(DWORD code, const std::string& reason);

// Sets the last error for an errno value: its code, with the system's words for it. Returns the
// code.
DWORD SetLastErrorFromErrno(int error, const std::string& path = std::string());

}  // namespace platform
