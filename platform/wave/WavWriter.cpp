#include "platform/wave/WavWriter.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/kernel/OutputFolders.h"
#include "platform/sound/WaveImage.h"

namespace platform::wave {

namespace {

constexpr uint64_t kFrameBytes = 4;
constexpr uint64_t kRiffHeaderBytes = 44;
constexpr uint64_t kRf64HeaderBytes = 80;  // a ds64 chunk of 28 bytes besides
constexpr uint64_t kGrowth = kRf64HeaderBytes - kRiffHeaderBytes;
// The most sound a RIFF header can count: its size field counts 36 bytes of header besides.
constexpr uint64_t kRiffMaxData = (0xFFFFFFFFull - 36) / kFrameBytes * kFrameBytes;
constexpr size_t kMoveStepBytes = size_t{1} << 20;

std::atomic<uint64_t> gRiffLimitForTests{0};

using sound::Put16;
using sound::Put32;

void Put64(uint8_t* p, uint64_t v) {
    Put32(p, static_cast<uint32_t>(v));
    Put32(p + 4, static_cast<uint32_t>(v >> 32));
}

// All of `size` bytes at `offset`; false with errno set, *done saying how many got there.
bool WriteAt(int fd, const void* bytes, size_t size, uint64_t offset, size_t* done) {
    *done = 0;
    while (*done < size) {
        const ssize_t n = pwrite(fd, static_cast<const uint8_t*>(bytes) + *done, size - *done,
                                 static_cast<off_t>(offset + *done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            errno = n < 0 ? errno : ENOSPC;
            return false;
        }
        *done += static_cast<size_t>(n);
    }
    return true;
}

bool Truncate(int fd, uint64_t size) {
    return ftruncate(fd, static_cast<off_t>(size)) == 0;
}

bool ReadAt(int fd, void* bytes, size_t size, uint64_t offset) {
    for (size_t done = 0; done < size;) {
        const ssize_t n = pread(fd, static_cast<uint8_t*>(bytes) + done, size - done,
                                static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            errno = n < 0 ? errno : EIO;  // shorter than written: cut by someone else
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// The kernel's file systems that show its state as files: what is written there is not kept.
const char* KernelFileSystem(int fd) {
    struct Known {
        uint32_t magic;
        const char* name;
    };
    static const Known kKnown[] = {
        {PROC_SUPER_MAGIC, "proc"},       {SYSFS_MAGIC, "sysfs"},
        {DEBUGFS_MAGIC, "debugfs"},       {TRACEFS_MAGIC, "tracefs"},
        {SECURITYFS_MAGIC, "securityfs"}, {CGROUP_SUPER_MAGIC, "cgroup"},
        {CGROUP2_SUPER_MAGIC, "cgroup2"}, {BPF_FS_MAGIC, "bpf"},
        {PSTOREFS_MAGIC, "pstore"},       {EFIVARFS_MAGIC, "efivarfs"},
    };
    struct statfs fs;
    if (fstatfs(fd, &fs) != 0) {
        return nullptr;
    }
    for (const Known& k : kKnown) {
        if (static_cast<uint32_t>(fs.f_type) == k.magic) {
            return k.name;
        }
    }
    return nullptr;
}

// Why a file that is not a regular one cannot hold a take: its header is rewritten as it grows.
std::string NotRegular(mode_t mode) {
    const char* kind = S_ISCHR(mode) || S_ISBLK(mode) ? "a device, "
                       : S_ISFIFO(mode)               ? "a FIFO, "
                       : S_ISSOCK(mode)               ? "a socket, "
                                                      : "";
    return std::string(kind) + "not a regular file";
}

// " (process N)" for the process the kernel's lock table names as holding `fd`'s file, or "".
std::string LockHolder(int fd) {
    struct stat st;
    if (fstat(fd, &st) != 0) {
        return "";
    }
    FILE* locks = std::fopen("/proc/locks", "re");
    if (!locks) {
        return "";
    }
    std::string holder;
    char line[256];
    while (holder.empty() && std::fgets(line, sizeof line, locks)) {
        // "1: FLOCK  ADVISORY  WRITE 4242 08:01:1311845 0 EOF"
        char kind[16];
        int pid = 0;
        unsigned devMajor = 0, devMinor = 0;
        unsigned long inode = 0;
        if (std::sscanf(line, "%*d: %15s %*s %*s %d %x:%x:%lu", kind, &pid, &devMajor, &devMinor,
                        &inode) == 5 &&
            std::strcmp(kind, "FLOCK") == 0 && devMajor == major(st.st_dev) &&
            devMinor == minor(st.st_dev) && inode == st.st_ino) {
            holder = " (process " + std::to_string(pid) + ")";
        }
    }
    std::fclose(locks);
    return holder;
}

}  // namespace

void SetRiffLimitForTests(uint64_t dataBytes) {
    gRiffLimitForTests = dataBytes;
}

bool WavWriter::Claim(const std::string& path, std::string* error) {
    Close();
    auto refuse = [&](const std::string& reason) {
        *error = "cannot write " + path + ": " + reason;
        return false;
    };
    struct stat st;
    std::string reason;
    const bool existed = stat(path.c_str(), &st) == 0;
    if (existed) {
        // Only a file is opened: opening a device may do something already.
        if (S_ISDIR(st.st_mode)) {
            return refuse(std::strerror(EISDIR));
        }
        if (!S_ISREG(st.st_mode)) {
            return refuse(NotRegular(st.st_mode));
        }
    } else if (!PrepareOutputFolder(FolderOf(path), &reason)) {
        *error = "cannot write into " + reason;
        return false;
    }
    // Read too: the sound moves up when the take becomes RF64.
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    if (fd < 0) {
        return refuse(std::strerror(errno));
    }
    if (fstat(fd, &st) != 0) {
        reason = std::strerror(errno);
    } else if (!S_ISREG(st.st_mode)) {
        reason = NotRegular(st.st_mode);
    } else if (const char* kernel = KernelFileSystem(fd)) {
        reason = std::string("a file of the kernel's ") + kernel + " file system, not of a disk";
    } else if (flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        // File systems without locks (some network ones) record unguarded.
        reason = "another program is recording into it" + LockHolder(fd);
    }
    if (!reason.empty()) {
        close(fd);
        return refuse(reason);
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    fd_ = fd;
    path_ = path;
    created_ = !existed;
    return true;
}

bool WavWriter::Begin(uint32_t rate) {
    if (fd_ < 0) {
        return false;
    }
    rate_ = rate;
    const uint64_t limit = gRiffLimitForTests.load();
    riffLimit_ = limit ? std::min(limit / kFrameBytes * kFrameBytes, kRiffMaxData) : kRiffMaxData;
    buffer_.assign(static_cast<size_t>(rate) * 2, 0);
    buffered_ = 0;
    dataBytes_ = 0;
    rf64_ = false;
    moving_ = false;
    failed_ = false;
    missed_ = 0;
    begun_ = true;
    if (!Truncate(fd_, 0) || !WriteHeader()) {
        Fail(errno);
        return false;
    }
    return true;
}

void WavWriter::Append(const float* frames, int count) {
    if (!begun_ || count <= 0) {
        return;
    }
    if (!failed_) {
        const size_t samples = static_cast<size_t>(count) * 2;
        for (size_t i = 0; i < samples; ++i) {
            const float v = std::min(1.0f, std::max(-1.0f, frames[i]));
            buffer_[buffered_++] = static_cast<int16_t>(std::lrint(v * 32767.0f));
            if (buffered_ == buffer_.size() && !Flush()) {
                break;
            }
        }
    }
    if (moving_) {
        MoveStep(kMoveStepBytes);
    }
}

// The buffered sound into the file, then the header that counts it.
bool WavWriter::Flush() {
    const size_t bytes = buffered_ * sizeof(int16_t);
    buffered_ = 0;
    if (!rf64_ && dataBytes_ + bytes > riffLimit_) {
        SwitchToRf64();
        if (failed_) {
            return false;
        }
    }
    const uint64_t at = (rf64_ ? kRf64HeaderBytes : kRiffHeaderBytes) + dataBytes_;
    size_t done = 0;
    // The format is little-endian, as is every machine this runs on.
    const bool written = WriteAt(fd_, buffer_.data(), bytes, at, &done);
    dataBytes_ += done / kFrameBytes * kFrameBytes;
    if (!written || !WriteHeader()) {
        Fail(errno);
        return false;
    }
    return true;
}

bool WavWriter::WriteHeader() {
    // While the sound moves up, the RIFF header stands: a file cut off then still plays, with
    // nine frames heard twice where the move had got to.
    if (moving_) {
        return true;
    }
    uint8_t h[kRf64HeaderBytes];
    uint8_t* p = h;
    if (rf64_) {
        std::memcpy(p, "RF64", 4);
        Put32(p + 4, 0xFFFFFFFF);
        std::memcpy(p + 8, "WAVEds64", 8);
        Put32(p + 16, 28);
        Put64(p + 20, kRf64HeaderBytes - 8 + dataBytes_);
        Put64(p + 28, dataBytes_);
        Put64(p + 36, dataBytes_ / kFrameBytes);
        Put32(p + 44, 0);  // no table of other chunk sizes
        p += 48;
    } else {
        std::memcpy(p, "RIFF", 4);
        Put32(p + 4, static_cast<uint32_t>(dataBytes_ + 36));
        std::memcpy(p + 8, "WAVE", 4);
        p += 12;
    }
    std::memcpy(p, "fmt ", 4);
    Put32(p + 4, 16);
    Put16(p + 8, 1);
    Put16(p + 10, 2);
    Put32(p + 12, rate_);
    Put32(p + 16, rate_ * 4);
    Put16(p + 20, 4);
    Put16(p + 22, 16);
    std::memcpy(p + 24, "data", 4);
    Put32(p + 28, rf64_ ? 0xFFFFFFFF : static_cast<uint32_t>(dataBytes_));
    size_t done = 0;
    return WriteAt(fd_, h, static_cast<size_t>(p + 32 - h), 0, &done);
}

// The RF64 header is longer: the sound written so far moves up to make room, a step with each
// Append from here on, while what follows is written straight to its place.
void WavWriter::SwitchToRf64() {
    rf64_ = true;
    moving_ = true;
    unmoved_ = dataBytes_;
    moveBuffer_.resize(kMoveStepBytes);
    // First the bytes that grow the file, overwriting nothing: a full disk is found now and
    // costs nothing already written.
    MoveStep(kGrowth);
}

void WavWriter::MoveStep(uint64_t most) {
    const uint64_t step = std::min(unmoved_, most);
    const uint64_t from = kRiffHeaderBytes + unmoved_ - step;
    size_t done = 0;
    if (!ReadAt(fd_, moveBuffer_.data(), step, from) ||
        !WriteAt(fd_, moveBuffer_.data(), step, from + kGrowth, &done)) {
        // The sound that is still where the RIFF header counts it is the take: all that has not
        // moved, less what this step overwrote.
        const int number = errno;
        rf64_ = false;
        moving_ = false;
        dataBytes_ = done == 0 ? unmoved_ : std::min(unmoved_, unmoved_ - step + kGrowth);
        std::vector<uint8_t>().swap(moveBuffer_);
        Fail(number);
        return;
    }
    unmoved_ -= step;
    if (unmoved_ == 0) {
        moving_ = false;
        std::vector<uint8_t>().swap(moveBuffer_);
        if (!WriteHeader() && !failed_) {
            Fail(errno);
        }
    }
}

// The take ends with the sound in the file and a header that counts just that.
void WavWriter::Fail(int number) {
    failed_ = true;
    buffered_ = 0;
    const uint64_t end = (rf64_ ? kRf64HeaderBytes : kRiffHeaderBytes) + dataBytes_;
    if ((!Truncate(fd_, end) || !WriteHeader()) && dataBytes_ == 0) {
        Truncate(fd_, 0);  // an empty file rather than a header of zeros
    }
    Report(number);
}

void WavWriter::Report(int number) const {
    if (dataBytes_ == 0) {
        std::fprintf(stderr, "pulsor: cannot write %s: %s; nothing of the take is kept\n",
                     path_.c_str(), std::strerror(number));
        return;
    }
    std::fprintf(stderr, "pulsor: cannot write %s: %s; the take keeps its first %.2f s, no more\n",
                 path_.c_str(), std::strerror(number),
                 static_cast<double>(dataBytes_ / kFrameBytes) / rate_);
}

bool WavWriter::Close() {
    if (fd_ < 0) {
        return true;
    }
    bool whole = true;
    if (begun_) {
        if (!failed_) {
            Flush();
        }
        while (moving_) {
            MoveStep(kMoveStepBytes);
        }
        whole = !failed_ && missed_ == 0;
    }
    // A run refused before its take began leaves no empty file where there was none.
    if (!begun_ && created_) {
        unlink(path_.c_str());
    }
    // A network file system may tell of a failed write only now.
    if (close(fd_) != 0 && errno != EINTR && begun_ && !failed_) {
        Report(errno);
        whole = false;
    }
    fd_ = -1;
    begun_ = false;
    std::vector<int16_t>().swap(buffer_);
    return whole;
}

}  // namespace platform::wave
