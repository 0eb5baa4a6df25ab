// The platform's file calls in a process of their own, for what a test cannot do to itself: run
// in a mount namespace with a small, read-only or other file system.
//
//   files_probe trash PATH    SHFileOperationW's delete into the trash
//
// Prints the call's last error and its words on two lines.
#include <cstdio>
#include <string>

#include "platform/kernel/WideString.h"
#include "platform/win32.h"

namespace {

int Report(bool done) {
    const DWORD code = done ? ERROR_SUCCESS : GetLastError();
    WCHAR words[512] = L"";
    if (!done) {
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                       words, 512, nullptr);
    }
    std::printf("%u\n%s\n", static_cast<unsigned>(code), platform::ToUtf8(words).c_str());
    return done ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "trash" && argc == 3) {
        std::wstring from = platform::FromUtf8(argv[2]);
        from.push_back(L'\0');  // the list's end
        SHFILEOPSTRUCTW op{};
        op.wFunc = FO_DELETE;
        op.pFrom = from.c_str();
        op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT;
        return Report(SHFileOperationW(&op) == 0);
    }
    std::fprintf(stderr, "usage: files_probe trash PATH\n");
    return 2;
}
