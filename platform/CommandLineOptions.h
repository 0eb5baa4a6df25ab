// The process's command line: the device options (see DeviceOptions), --help and --version.
#pragma once

#include <string>

#include "platform/device/DeviceOptions.h"

namespace platform {

struct CommandLine : DeviceOptions {
    bool help = false;
    bool version = false;
};

// What --help prints, and a usage error after its reason.
const std::string& UsageText();

// False with a one-line reason in *error for the first option it cannot take, or for options
// that do not go together.
bool ParseCommandLine(int argc, char** argv, CommandLine* parsed, std::string* error);

}  // namespace platform
