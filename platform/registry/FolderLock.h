// One program per settings folder: an advisory lock (flock) on pulsor.lock in the folder, taken at
// start and held until the process ends, when the kernel lets it go, so a crash leaves nothing to
// clean up. The holder writes its process id into the file for whoever finds it locked.
#pragma once

#include <sys/types.h>

#include <string>

namespace platform::registry {

struct FolderLock {
    enum Status {
        Held,       // by this process, for the rest of its run
        InUse,      // by another process: `holder` (0 when its id cannot be read)
        NoFolder,   // the folder is missing and cannot be made, or is no folder: `reason`
        Unguarded,  // the folder is there but cannot be locked (read-only, no locks on NFS)
    };
    Status status = Unguarded;
    pid_t holder = 0;
    std::string folder;  // the settings folder, its links resolved once it exists
    std::string reason;  // NoFolder, Unguarded: "PATH: why"
};

// Makes the registry's folder when missing and takes its lock.
FolderLock LockFolder();

}  // namespace platform::registry
