// The shell's named folders: the user's data folder, where the kits and the home trash are.
#include "platform/kernel/Errors.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/HomeFolder.h"
#include "platform/kernel/WideString.h"
#include "platform/win32.h"

BOOL SHGetSpecialFolderPath(HWND, LPWSTR path, int folder, BOOL create) {
    if (!path || folder != CSIDL_APPDATA) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::string data = platform::DataHome();
    if (create) {
        if (const int error = platform::MakeFolders(data)) {
            platform::SetLastErrorFromErrno(error, data);
            return FALSE;
        }
    }
    if (FAILED(StringCchCopyW(path, MAX_PATH, platform::FromUtf8(data).c_str()))) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return FALSE;
    }
    return TRUE;
}
