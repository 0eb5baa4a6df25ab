// The registry's default for the handheld's default-browser value (the shell's `:DEFBROWSER` key,
// value "1"), which the file never needs to hold: the desktop's browser.
#pragma once

#include <string>

#include "platform/win32.h"

namespace platform::registry {

// True for the default-browser value: HKEY_LOCAL_MACHINE, that key (in any case), value "1".
bool IsDefaultBrowserValue(HKEY root, const std::wstring& key, const std::wstring& name);

// $BROWSER's first command, else xdg-open, as a full path when it is found on the PATH. False
// when neither is set nor found.
bool FindDefaultBrowser(std::wstring* command);

}  // namespace platform::registry
