// The registry: keys and values kept in memory and stored as a .reg text file, read on first use
// and saved atomically after every write. Thread-safe.
#pragma once

#include <cstdint>
#include <string>

#include "platform/win32.h"

namespace platform::registry {

// Keeps the file in DIR instead of $XDG_CONFIG_HOME/pulsor (main does this for --config-dir).
// Forgets what was loaded, so the next use reads the file found there. An empty DIR restores the
// default location.
void SetConfigDir(const std::string& dir);

// The file's path as it is used now.
std::string FilePath();

// Forgets what was loaded; the next use reads the file again.
void Unload();

enum class Result { Ok, NotFound, WrongType, Invalid, WriteFailed };

// Key paths are below a predefined root key; names compare case-insensitively.
Result GetDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD* value);
Result GetString(HKEY root, const std::wstring& key, const std::wstring& name, std::wstring* value);
// Create the key when needed. On WriteFailed the value is kept in memory but not on disk.
Result SetDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value);
Result SetString(HKEY root, const std::wstring& key, const std::wstring& name,
                 const std::wstring& value);

}  // namespace platform::registry
