// Splitting a command line into words the way the platform's C runtime does.
#pragma once

#include <string>
#include <vector>

namespace platform {

// Words are separated by spaces or tabs; double quotes group; 2n backslashes before a quote give n
// backslashes and the quote delimits, 2n + 1 give n and a literal quote; inside quotes "" is a
// literal quote. Other backslashes are literal.
std::vector<std::wstring> SplitCommandLine(const wchar_t* commandLine);

}  // namespace platform
