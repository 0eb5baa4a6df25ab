#include "platform/registry/RegistryStore.h"
#include "platform/win32.h"

namespace {

using platform::registry::Result;

HRESULT ToHresult(Result result) {
    switch (result) {
        case Result::Ok:
            return S_OK;
        case Result::NotFound:
            return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        case Result::Invalid:
            return E_INVALIDARG;
        case Result::WrongType:
        case Result::WriteFailed:
            break;
    }
    return E_FAIL;
}

LONG ToError(Result result) {
    switch (result) {
        case Result::Ok:
            return ERROR_SUCCESS;
        case Result::NotFound:
            return ERROR_FILE_NOT_FOUND;
        case Result::Invalid:
            return ERROR_INVALID_PARAMETER;
        case Result::WrongType:
            return ERROR_INVALID_DATA;
        case Result::WriteFailed:
            break;
    }
    return ERROR_WRITE_FAULT;
}

std::wstring Text(LPCWSTR s) {
    return s ? std::wstring(s) : std::wstring();
}

}  // namespace

HRESULT RegistryGetDWORD(HKEY root, LPCWSTR subKey, LPCWSTR valueName, DWORD* data) {
    if (!data) {
        return E_INVALIDARG;
    }
    return ToHresult(platform::registry::GetDword(root, Text(subKey), Text(valueName), data));
}

HRESULT RegistrySetDWORD(HKEY root, LPCWSTR subKey, LPCWSTR valueName, DWORD data) {
    return ToHresult(platform::registry::SetDword(root, Text(subKey), Text(valueName), data));
}

HRESULT RegistryGetString(HKEY root, LPCWSTR subKey, LPCWSTR valueName, LPWSTR data, UINT cchData) {
    if (!data || cchData == 0) {
        return E_INVALIDARG;
    }
    std::wstring value;
    HRESULT result =
        ToHresult(platform::registry::GetString(root, Text(subKey), Text(valueName), &value));
    if (SUCCEEDED(result) && value.size() >= cchData) {
        result = HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    }
    if (FAILED(result)) {
        data[0] = L'\0';  // a failed read leaves no partial text behind
        return result;
    }
    value.copy(data, value.size());
    data[value.size()] = L'\0';
    return S_OK;
}

HRESULT RegistrySetString(HKEY root, LPCWSTR subKey, LPCWSTR valueName, LPCWSTR data) {
    if (!data) {
        return E_INVALIDARG;
    }
    return ToHresult(
        platform::registry::SetString(root, Text(subKey), Text(valueName), Text(data)));
}

// Keys opened here hold the registry's changes until they are closed or flushed, so a group of
// values set between is saved as one replacement of the file.
LONG RegCreateKeyEx(HKEY root, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options,
                    REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result,
                    LPDWORD disposition) {
    (void)reserved;
    (void)keyClass;
    (void)options;
    (void)access;
    (void)security;
    if (!result) {
        return ERROR_INVALID_PARAMETER;
    }
    *result = nullptr;
    bool created = false;
    const LONG error = ToError(platform::registry::OpenKey(root, Text(subKey), result, &created));
    if (error == ERROR_SUCCESS && disposition) {
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    }
    return error;
}

LONG RegFlushKey(HKEY key) {
    return ToError(platform::registry::Flush(key));
}

LONG RegCloseKey(HKEY key) {
    return ToError(platform::registry::CloseKey(key));
}
