// --kit: which kit the program plays, kept as the settings' "Kit" value for this and later runs.
#pragma once

#include <string>

namespace platform::sound {

// A folder of kits by name: $XDG_DATA_HOME/pulsor/kits/ (~/.local/share/pulsor/kits/ when unset
// or not absolute).
std::string KitsFolder();

// `kit` is "default" (the built-in words), a path (it holds a '/'), or a name in KitsFolder().
// Stores the folder's absolute path as "Kit", or clears it for "default". False with the reason
// (the path looked for) when the folder does not exist or the choice cannot be stored.
bool ChooseKit(const std::string& kit, std::string* error);

}  // namespace platform::sound
