// Reading and writing files without surprises. Only regular files are read: a named pipe would
// block its reader until some writer came (at start-up, for ever), a device may never end
// (/dev/zero) or act on being opened, and a folder reads as nothing. Every file the platform reads
// goes through OpenForReading, and each way it refuses one has a reason a user can act on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace platform {

constexpr uint64_t kAnySize = UINT64_MAX;

// A file opened for reading, or why it was not.
struct ReadableFile {
    int fd = -1;  // close-on-exec; the caller closes it
    uint64_t size = 0;
    bool missing = false;  // nothing at all at the path (a link to nothing is not missing)
    std::string reason;    // when fd is -1: "No such file or directory", "is a folder, not a
                           // file", "is 70000 bytes (at most 65536)"...
};

// Whether `path` is a regular file, following links, looked at without opening it. False with
// the reason (and *missing when nothing at all is there).
bool IsRegularFile(const std::string& path, std::string* reason, bool* missing = nullptr);

// Opens `path` for reading if it is a regular file of at most `maxBytes`, never waiting on it.
// On failure errno is set as open would set it, or to EISDIR (a folder), EINVAL (another kind
// of file, a link to nothing) or EFBIG (too large).
ReadableFile OpenForReading(const std::string& path, uint64_t maxBytes = kAnySize);

// The whole of such a file into *content. False with the reason in *failure.
bool ReadWholeFile(const std::string& path, uint64_t maxBytes, std::string* content,
                   ReadableFile* failure);

// Writes `size` bytes to `path` so that the name only ever shows a whole file: into a hidden
// temporary beside it, checked at every write, flushed to the disk and closed, then renamed over
// it, and the folder flushed so that the rename lasts too. On failure the temporary is removed,
// `path` is as it was, *reason holds the system's reason and errno its number.
bool WriteWholeFile(const std::string& path, const void* data, size_t size, std::string* reason);

// The same, with `fill` writing the content into the temporary's descriptor (0, or an errno).
// With `keepExisting`, a `path` that exists is left as it is and the call fails with EEXIST.
bool WriteThroughTemporary(const std::string& path, const std::function<int(int fd)>& fill,
                           bool keepExisting, std::string* reason);

// Renames `from` to `to` unless `to` exists (EEXIST): 0, or the errno of the failure.
int RenameNoReplace(const std::string& from, const std::string& to);

// Writes all of `size` bytes to `fd`: 0, or the errno of the write that failed.
int WriteAll(int fd, const void* data, size_t size);

// Removes the files in `folder` named `prefix` followed by the id of a process that has ended:
// the temporaries of writers killed before their rename.
void RemoveStaleTemporaries(const std::string& folder, const std::string& prefix);

// Makes the folder `path` (absolute) with its missing parents, each private to the user (0700,
// as the XDG folders are made): 0, or the errno of the first that could not be made. A folder
// that exists already is fine; anything else of that name fails with ENOTDIR.
int MakeFolders(const std::string& path);

}  // namespace platform
