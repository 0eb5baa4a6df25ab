// --kit: which kit the program plays, kept as the settings' "Kit" value for this and later runs.
#pragma once

#include <cstddef>
#include <string>

namespace platform::sound {

// A folder of kits by name: $XDG_DATA_HOME/pulsor/kits/ (~/.local/share/pulsor/kits/ when unset
// or not absolute; the home folder from the password database when HOME is unset).
std::string KitsFolder();

// The longest file name a kit folder's path must leave room for: labels.txt, or the longest stem
// (Pulsor) with the longest extension libsndfile names.
size_t LongestKitFileName();

// `kit` is "default" (the built-in words), a path (it holds a '/'), or a name in KitsFolder()
// ("." and ".." are not names). Stores the folder's absolute path as "Kit", or clears it for
// "default". False with the reason (the path looked for) when the folder does not exist, its
// path leaves no room for the names of its files, or the choice cannot be stored.
bool ChooseKit(const std::string& kit, std::string* error);

}  // namespace platform::sound
