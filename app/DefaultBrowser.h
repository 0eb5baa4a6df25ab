// The device's default browser, as the shell records its command line in the registry.
#pragma once

#include <string>

#include "platform/win32.h"

class DefaultBrowser {
public:
    // The program of a recorded command line: the first token up to a double quote, so a quoted
    // path without its quotes, or an unquoted command line whole.
    static std::wstring ProgramOf(const wchar_t* commandLine);
    // Starts the browser with `address` as its whole command line, without waiting for it. False
    // when no browser is recorded or it could not be started.
    static bool Open(const wchar_t* address);
};
