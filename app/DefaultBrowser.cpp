#include "app/DefaultBrowser.h"

namespace {

const wchar_t kDefaultBrowserKey[] = L"Software\\Microsoft\\Shell\\Rai\\:DEFBROWSER";
const size_t kMaxAddress = 1024;

}  // namespace

std::wstring DefaultBrowser::ProgramOf(const wchar_t* commandLine) {
    const wchar_t* program = commandLine;
    while (*program == L'"') {
        ++program;
    }
    const wchar_t* end = program;
    while (*end && *end != L'"') {
        ++end;
    }
    return std::wstring(program, end);
}

bool DefaultBrowser::Open(const wchar_t* address) {
    wchar_t commandLine[MAX_PATH] = L"";
    if (FAILED(RegistryGetString(HKEY_LOCAL_MACHINE, kDefaultBrowserKey, L"1", commandLine,
                                 MAX_PATH))) {
        commandLine[0] = L'\0';
    }
    const std::wstring program = ProgramOf(commandLine);
    if (program.empty()) {
        return false;  // no browser known
    }
    wchar_t page[kMaxAddress];
    if (FAILED(StringCchCopyW(page, kMaxAddress, address))) {
        return false;
    }
    PROCESS_INFORMATION info = {};
    if (!CreateProcess(program.c_str(), page, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr,
                       &info)) {
        return false;
    }
    if (info.hThread) {
        CloseHandle(info.hThread);
    }
    if (info.hProcess) {
        CloseHandle(info.hProcess);
    }
    return true;
}
