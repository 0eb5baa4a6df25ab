#include "platform/sound/SoundCalls.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/kernel/Errors.h"
#include "platform/kernel/WideString.h"

namespace platform::sound {

void Refuse(DWORD code, const std::string& reason, LPWSTR buffer, UINT cchBuffer) {
    SetLastErrorWithReason(code, reason);
    if (buffer && cchBuffer > 0) {
        StringCchCopyW(buffer, cchBuffer, FromUtf8(reason).c_str());
    }
}

LPBYTE NewImage(const std::vector<uint8_t>& bytes, LPDWORD size) {
    BYTE* image = new (std::nothrow) BYTE[bytes.size()];
    if (image) {
        std::memcpy(image, bytes.data(), bytes.size());
        *size = static_cast<DWORD>(bytes.size());
    }
    return image;
}

MemoryFile::~MemoryFile() {
    Close();
}

SNDFILE* MemoryFile::Open(int mode, SF_INFO* info) {
    static SF_VIRTUAL_IO io = {Length, Seek, Read, Write, Tell};
    file_ = sf_open_virtual(&io, mode, info, this);
    return file_;
}

bool MemoryFile::Close() {
    const bool closed = !file_ || sf_close(file_) == 0;
    file_ = nullptr;
    return closed;
}

sf_count_t MemoryFile::Length(void* self) {
    return static_cast<sf_count_t>(static_cast<MemoryFile*>(self)->bytes_.size());
}

sf_count_t MemoryFile::Seek(sf_count_t offset, int whence, void* self) {
    MemoryFile* file = static_cast<MemoryFile*>(self);
    const sf_count_t base = whence == SEEK_CUR   ? file->at_
                            : whence == SEEK_END ? static_cast<sf_count_t>(file->bytes_.size())
                                                 : 0;
    if (base + offset < 0) {
        return -1;
    }
    file->at_ = base + offset;
    return file->at_;
}

sf_count_t MemoryFile::Read(void* into, sf_count_t count, void* self) {
    MemoryFile* file = static_cast<MemoryFile*>(self);
    const sf_count_t size = static_cast<sf_count_t>(file->bytes_.size());
    const sf_count_t n = std::max<sf_count_t>(0, std::min(count, size - file->at_));
    if (n > 0) {
        std::memcpy(into, file->bytes_.data() + file->at_, static_cast<size_t>(n));
        file->at_ += n;
    }
    return n;
}

sf_count_t MemoryFile::Write(const void* from, sf_count_t count, void* self) {
    MemoryFile* file = static_cast<MemoryFile*>(self);
    const size_t end = static_cast<size_t>(file->at_ + count);
    if (end > file->bytes_.size()) {
        file->bytes_.resize(end);
    }
    std::memcpy(file->bytes_.data() + file->at_, from, static_cast<size_t>(count));
    file->at_ += count;
    return count;
}

sf_count_t MemoryFile::Tell(void* self) {
    return static_cast<MemoryFile*>(self)->at_;
}

}  // namespace platform::sound
