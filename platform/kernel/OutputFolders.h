// Folders the program writes its output into (--shots, --record): made like `mkdir -p` and
// tried before anything runs, so a run is refused at once rather than failing at its end.
#pragma once

#include <string>

namespace platform {

// Creates `dir` and its missing parents and checks a file can be made in it. False with the
// path and the reason in *error.
bool PrepareOutputFolder(const std::string& dir, std::string* error);

// The folder `file` lies in ("." for a bare name).
std::string FolderOf(const std::string& file);

}  // namespace platform
