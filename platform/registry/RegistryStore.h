// The registry: keys and values kept in memory and stored as a .reg text file, read on first use
// and saved in one atomic replacement of the file (temporary, fsync, rename): after each write
// when no key is open, else once when the last open key is closed or a key is flushed.
// A path that is no regular file (a FIFO, a device) is neither read nor replaced. A damaged file
// is copied aside whole as registry.reg.bad before anything replaces it; when that copy cannot be
// made, the file is not replaced either. Thread-safe.
#pragma once

#include <cstdint>
#include <string>

#include "platform/win32.h"

namespace platform::registry {

// Keeps the file in DIR instead of $XDG_CONFIG_HOME/pulsor (main does this for --config-dir).
// Forgets what was loaded, so the next use reads the file found there. An empty DIR restores the
// default location.
void SetConfigDir(const std::string& dir);

// The folder the file is kept in, and the file's path, as they are used now.
std::string Directory();
std::string FilePath();

// Forgets what was loaded; the next use reads the file again.
void Unload();

enum class Result { Ok, NotFound, WrongType, Invalid, WriteFailed };

// A value the file holds with another type than a read wants is WrongType, and named on stderr
// with its line, as a damaged line is; the file is then kept aside as registry.reg.bad, since the
// program will save a value of its own type in its place.

// Key paths are below a predefined root key; names compare case-insensitively.
Result GetDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD* value);
Result GetString(HKEY root, const std::wstring& key, const std::wstring& name, std::wstring* value);
// Create the key when needed. On WriteFailed the value is kept in memory but not on disk.
Result SetDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value);
Result SetString(HKEY root, const std::wstring& key, const std::wstring& name,
                 const std::wstring& value);

// An open key (RegCreateKeyEx): while one is open, changes are kept in memory, and closing the
// last one (or flushing any) writes them all at once. OpenKey creates the key when needed.
Result OpenKey(HKEY root, const std::wstring& key, HKEY* opened, bool* created);
Result Flush(HKEY key);
Result CloseKey(HKEY key);

// True when some save of this run failed (each failure was reported on stderr).
bool SaveFailed();

}  // namespace platform::registry
