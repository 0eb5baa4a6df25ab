// The user's home folder, for the folders that live under it (settings, kits).
#pragma once

#include <string>

namespace platform {

// $HOME, or when it is unset or empty (a service or `env -i`), the account's home from the
// password database; empty when neither knows one.
std::string HomeFolder();

}  // namespace platform
