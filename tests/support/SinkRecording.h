// A sound server sink's monitor recorded by parec as raw 48 kHz 16-bit stereo: the file's length
// is the clock a test marks its actions on.
#pragma once

#include <string>

#include "support/Spawn.h"

// parec's process, writing into `path`; -1 when it could not be started.
inline pid_t RecordSink(const std::string& sink, const std::string& path) {
    spawn::Options options;
    options.log = path;
    options.onlyStdout = true;
    return spawn::Start({"parec", "-d", sink + ".monitor", "--latency-msec=20", "--format=s16le",
                         "--rate=48000", "--channels=2", "--raw"},
                        options);
}
