// The registry file on disk: opened without blocking, read within a bound, kept aside whole, and
// replaced in one atomic step (temporary file, fsync, rename). Every function reports failure
// with an errno value (0: done), so the store can name the file and the reason.
#pragma once

#include <string>

namespace platform::registry {

// Opens `path` for reading without waiting on it: a FIFO or a device never holds the program up.
// The descriptor of a regular file; or -1 and either *error (errno) or *kind, what the file is
// instead ("a FIFO", "a directory", ...).
int OpenRegularFile(const std::string& path, int* error, const char** kind);

// All of `fd`, or as soon as it passes `limit` bytes (so a file that grew is seen as too long).
int ReadAll(int fd, size_t limit, std::string* out);

// Copies the whole file behind `fd` (from its start, whatever was read of it) to `copy`: written
// to a temporary beside it, flushed and renamed, so an earlier copy is only replaced by a whole
// one.
int CopyWhole(int fd, const std::string& dir, const std::string& copy);

// Replaces `path` in `dir` (made when missing) with `text` atomically: a crash leaves the old or
// the new file, never part of one.
int ReplaceFile(const std::string& dir, const std::string& path, const std::string& text);

// Makes `dir` and its missing parents (0700). 0, or the errno of the step that failed.
int MakeDirectories(const std::string& dir);

// Temporary files of saves that were cut short (their process died) are removed.
void RemoveStaleTemps(const std::string& dir);

}  // namespace platform::registry
