// A kit's words and captions written into its folder: each file replaced whole, never part of it.
#include <sndfile.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "platform/kernel/Errors.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/WideString.h"
#include "platform/sound/SoundCalls.h"
#include "platform/win32.h"

namespace {

using platform::sound::Refuse;

// Writes `bytes` as the whole of `path`; refuses with the system's reason.
BOOL Replace(const std::string& path, const void* bytes, size_t size, LPWSTR reason,
             UINT cchReason) {
    std::string why;
    if (!platform::WriteWholeFile(path, bytes, size, &why)) {
        const DWORD code = platform::Win32Error(errno, path);
        Refuse(code, "cannot be written: " + why, reason, cchReason);
        return FALSE;
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

bool EndsWithFlac(const std::string& path) {
    if (path.size() < 5) {
        return false;
    }
    std::string end = path.substr(path.size() - 5);
    for (char& c : end) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return end == ".flac";
}

// The image as FLAC, made in memory: its own rate and channels, 16 or 24 bits.
bool Encode(const BYTE* image, DWORD imageSize, std::vector<uint8_t>* flac, std::string* why) {
    platform::sound::MemoryFile in(image, imageSize);
    SF_INFO info{};
    SNDFILE* source = in.Open(SFM_READ, &info);
    if (!source) {
        *why =
            std::string("cannot be made of a sound that does not decode: ") + sf_strerror(nullptr);
        return false;
    }
    const int subtype = info.format & SF_FORMAT_SUBMASK;
    const bool isFloat = subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE;
    const bool deep = isFloat || subtype == SF_FORMAT_PCM_24 || subtype == SF_FORMAT_PCM_32;
    SF_INFO outInfo{};
    outInfo.samplerate = info.samplerate;
    outInfo.channels = info.channels;
    outInfo.format = SF_FORMAT_FLAC | (deep ? SF_FORMAT_PCM_24 : SF_FORMAT_PCM_16);
    platform::sound::MemoryFile out;
    SNDFILE* target = out.Open(SFM_WRITE, &outInfo);
    if (!target) {
        *why = std::string("cannot be made: ") + sf_strerror(nullptr);
        return false;
    }
    // Float past full scale is clipped, not wrapped round.
    sf_command(target, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    const size_t block = 4096 * static_cast<size_t>(info.channels);
    std::vector<int> samples(block);
    std::vector<float> floats(block);
    for (;;) {
        // Whole numbers keep every bit of a 16- or 24-bit word; float is converted once.
        const sf_count_t n = isFloat ? sf_readf_float(source, floats.data(), 4096)
                                     : sf_readf_int(source, samples.data(), 4096);
        if (n <= 0) {
            break;
        }
        const sf_count_t written = isFloat ? sf_writef_float(target, floats.data(), n)
                                           : sf_writef_int(target, samples.data(), n);
        if (written != n) {
            *why = std::string("cannot be made: ") + sf_strerror(target);
            return false;
        }
    }
    if (!out.Close()) {
        *why = "cannot be made: the encoder did not finish";
        return false;
    }
    *flac = out.Bytes();
    return true;
}

}  // namespace

BOOL SndEncodeFile(LPCWSTR path, const BYTE* image, DWORD imageSize, LPWSTR reason,
                   UINT cchReason) {
    const std::string file = path ? platform::ToUtf8(path) : std::string();
    if (!image || !EndsWithFlac(file)) {
        Refuse(ERROR_INVALID_PARAMETER, "is not a .flac file to write a sound into", reason,
               cchReason);
        return FALSE;
    }
    std::vector<uint8_t> flac;
    std::string why;
    if (!Encode(image, imageSize, &flac, &why)) {
        Refuse(ERROR_INVALID_DATA, why, reason, cchReason);
        return FALSE;
    }
    return Replace(file, flac.data(), flac.size(), reason, cchReason);
}

BOOL SndWriteFile(LPCWSTR path, const BYTE* bytes, DWORD size, LPWSTR reason, UINT cchReason) {
    if (!path || (!bytes && size > 0)) {
        Refuse(ERROR_INVALID_PARAMETER, "is not a file and its content", reason, cchReason);
        return FALSE;
    }
    return Replace(platform::ToUtf8(path), bytes, size, reason, cchReason);
}
