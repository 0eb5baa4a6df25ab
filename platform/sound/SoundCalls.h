// What the platform's sound calls share: their way of failing, and libsndfile over memory.
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace platform::sound {

// Fails a call: the thread's last error, and the reason in the caller's buffer when it gave one.
void Refuse(DWORD code, const std::string& reason, LPWSTR buffer, UINT cchBuffer);

// A copy of `bytes` as an image the caller releases with SndFreeImage; null when memory is short.
LPBYTE NewImage(const std::vector<uint8_t>& bytes, LPDWORD size);

// A file image in memory, read or made by libsndfile.
class MemoryFile {
public:
    MemoryFile() = default;  // empty, to be written
    MemoryFile(const BYTE* data, size_t size) : bytes_(data, data + size) {}
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;
    ~MemoryFile();

    // SFM_READ or SFM_WRITE; null with sf_strerror(nullptr) saying why.
    SNDFILE* Open(int mode, SF_INFO* info);
    // Closes the file: what was written is then whole. False when libsndfile says it is not.
    bool Close();
    const std::vector<uint8_t>& Bytes() const { return bytes_; }

private:
    static sf_count_t Length(void* self);
    static sf_count_t Seek(sf_count_t offset, int whence, void* self);
    static sf_count_t Read(void* into, sf_count_t count, void* self);
    static sf_count_t Write(const void* from, sf_count_t count, void* self);
    static sf_count_t Tell(void* self);

    std::vector<uint8_t> bytes_;
    sf_count_t at_ = 0;
    SNDFILE* file_ = nullptr;
};

}  // namespace platform::sound
