// The user's home folder, for the XDG defaults (~/.config, ~/.local/share).
#pragma once

#include <string>

namespace platform {

// $HOME when it is set and absolute; else the account's home in the password database (a
// service started without HOME still finds the user's files); else "/".
std::string HomeFolder();

// Where the user's data lives: $XDG_DATA_HOME when it is set and absolute, else
// ~/.local/share. The kits and the trash are in it.
std::string DataHome();

}  // namespace platform
