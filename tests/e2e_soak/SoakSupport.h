// The real executable run as a child process the test waits for or kills.
#pragma once

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "support/Spawn.h"

namespace soak {

using spawn::Outcome;

// Starts `program` with `args`, its output into `log`; the donation button's browser is `true`.
// `asan` is added to the AddressSanitizer options of a sanitizer build; `env` to its environment.
inline pid_t Spawn(const std::string& program, const std::vector<std::string>& args,
                   const std::string& log, const std::string& asan = "",
                   const std::vector<std::pair<std::string, std::string>>& env = {}) {
    std::vector<std::string> all = {program};
    all.insert(all.end(), args.begin(), args.end());
    spawn::Options options;
    options.log = log;
    options.env = env;
    options.env.emplace_back("BROWSER", "true");
    if (!asan.empty()) {
        const char* given = std::getenv("ASAN_OPTIONS");
        options.env.emplace_back("ASAN_OPTIONS", given ? std::string(given) + ":" + asan : asan);
    }
    return spawn::Start(all, options);
}

inline Outcome Reap(pid_t pid) {
    return spawn::Wait(pid);
}

}  // namespace soak
