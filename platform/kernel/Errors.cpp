#include "platform/kernel/Errors.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/kernel/WideString.h"

namespace {

thread_local DWORD lastError = ERROR_SUCCESS;
thread_local std::string lastReason;  // the words of lastError, when the call gave some

// The words for a code when the failure gave none: the system's words for the errno it stands
// for, in the language the rest of the program's reasons use.
struct Words {
    DWORD code;
    int error;  // errno whose words these are, or 0
    const char* text;
};
constexpr Words kWords[] = {
    {ERROR_SUCCESS, 0, "Success"},
    {ERROR_FILE_NOT_FOUND, ENOENT, nullptr},
    {ERROR_PATH_NOT_FOUND, ENOENT, nullptr},
    {ERROR_ACCESS_DENIED, EACCES, nullptr},
    {ERROR_INVALID_HANDLE, EBADF, nullptr},
    {ERROR_NOT_ENOUGH_MEMORY, ENOMEM, nullptr},
    {ERROR_INVALID_DATA, 0, "The data is not valid"},
    {ERROR_NOT_SAME_DEVICE, EXDEV, nullptr},
    {ERROR_NO_MORE_FILES, 0, "There are no more files"},
    {ERROR_WRITE_PROTECT, EROFS, nullptr},
    {ERROR_WRITE_FAULT, EIO, nullptr},
    {ERROR_GEN_FAILURE, EIO, nullptr},
    {ERROR_NOT_SUPPORTED, ENOTSUP, nullptr},
    {ERROR_FILE_EXISTS, EEXIST, nullptr},
    {ERROR_INVALID_PARAMETER, EINVAL, nullptr},
    {ERROR_DISK_FULL, ENOSPC, nullptr},
    {ERROR_INSUFFICIENT_BUFFER, 0, "The buffer is too small"},
    {ERROR_INVALID_NAME, 0, "The name is not valid"},
    {ERROR_DIR_NOT_EMPTY, ENOTEMPTY, nullptr},
    {ERROR_BUSY, EBUSY, nullptr},
    {ERROR_ALREADY_EXISTS, EEXIST, nullptr},
    {ERROR_FILENAME_EXCED_RANGE, ENAMETOOLONG, nullptr},
    {ERROR_FILE_TOO_LARGE, EFBIG, nullptr},
    {ERROR_DIRECTORY, ENOTDIR, nullptr},
    {ERROR_NO_UNICODE_TRANSLATION, EILSEQ, nullptr},
    {ERROR_TOO_MANY_LINKS, EMLINK, nullptr},
    {ERROR_CANT_RESOLVE_FILENAME, ELOOP, nullptr},
};

std::string WordsFor(DWORD code) {
    for (const Words& w : kWords) {
        if (w.code == code) {
            return w.text ? w.text : std::strerror(w.error);
        }
    }
    return "Error " + std::to_string(code);
}

}  // namespace

DWORD GetLastError(void) {
    return lastError;
}

void SetLastError(DWORD error) {
    lastError = error;
    lastReason.clear();
}

DWORD FormatMessageW(DWORD flags, LPCVOID, DWORD messageId, DWORD, LPWSTR buffer, DWORD size,
                     va_list*) {
    if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) ||
        !buffer || size == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::wstring text = platform::FromUtf8(
        messageId == lastError && !lastReason.empty() ? lastReason : WordsFor(messageId));
    if (text.size() >= size) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    text.copy(buffer, text.size());
    buffer[text.size()] = L'\0';
    return static_cast<DWORD>(text.size());
}

namespace platform {

DWORD Win32Error(int error, const std::string& path) {
    switch (error) {
        case 0:
            return ERROR_SUCCESS;
        case ENOENT: {
            const size_t slash = path.find_last_of('/');
            struct stat st;
            if (slash != std::string::npos && slash > 0 &&
                stat(path.substr(0, slash).c_str(), &st) != 0) {
                return ERROR_PATH_NOT_FOUND;
            }
            return ERROR_FILE_NOT_FOUND;
        }
        case ENOTDIR:
            return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EISDIR:
            return ERROR_ACCESS_DENIED;
        case EROFS:
            return ERROR_WRITE_PROTECT;
        case ENOSPC:
        case EDQUOT:
            return ERROR_DISK_FULL;
        case EEXIST:
            return ERROR_ALREADY_EXISTS;
        case ENOTEMPTY:
            return ERROR_DIR_NOT_EMPTY;
        case EXDEV:
            return ERROR_NOT_SAME_DEVICE;
        case EBUSY:
            return ERROR_BUSY;
        case ENAMETOOLONG:
            return ERROR_FILENAME_EXCED_RANGE;
        case ELOOP:
            return ERROR_CANT_RESOLVE_FILENAME;
        case EMLINK:
            return ERROR_TOO_MANY_LINKS;
        case EFBIG:
            return ERROR_FILE_TOO_LARGE;
        case EINVAL:
            return ERROR_INVALID_PARAMETER;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case ENOTSUP:
            return ERROR_NOT_SUPPORTED;
        default:
            return ERROR_GEN_FAILURE;
    }
}

void SetLastErrorWithReason(DWORD code, const std::string& reason) {
    lastError = code;
    lastReason = reason;
}

DWORD SetLastErrorFromErrno(int error, const std::string& path) {
    const DWORD code = Win32Error(error, path);
    SetLastErrorWithReason(code, std::strerror(error));
    return code;
}

}  // namespace platform
