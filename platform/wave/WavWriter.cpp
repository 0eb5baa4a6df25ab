#include "platform/wave/WavWriter.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

namespace platform::wave {

namespace {

void Put16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
    Put16(p, v & 0xFFFF);
    Put16(p + 2, v >> 16);
}

// The largest data size a RIFF header can describe, in whole frames.
constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFull - 36 - 3;

}  // namespace

bool WavWriter::Open(const std::string& path, uint32_t rate, std::string* error) {
    Close();
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) {
        if (error) {
            *error = "cannot write " + path + ": " + std::strerror(errno);
        }
        return false;
    }
    rate_ = rate;
    dataBytes_ = 0;
    sinceUpdate_ = 0;
    uint8_t h[44];
    std::memcpy(h, "RIFF", 4);
    Put32(h + 4, 36);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    Put32(h + 16, 16);
    Put16(h + 20, 1);
    Put16(h + 22, 2);
    Put32(h + 24, rate);
    Put32(h + 28, rate * 4);
    Put16(h + 32, 4);
    Put16(h + 34, 16);
    std::memcpy(h + 36, "data", 4);
    Put32(h + 40, 0);
    if (std::fwrite(h, 1, sizeof h, file_) != sizeof h || std::fflush(file_) != 0) {
        if (error) {
            *error = "cannot write " + path + ": " + std::strerror(errno);
        }
        std::fclose(file_);
        file_ = nullptr;
        return false;
    }
    return true;
}

void WavWriter::Append(const float* frames, int count) {
    if (!file_ || count <= 0) {
        return;
    }
    if (dataBytes_ + 4ull * count > kMaxDataBytes) {
        return;  // a RIFF file cannot grow further
    }
    scratch_.resize(static_cast<size_t>(count) * 2);
    for (size_t i = 0; i < scratch_.size(); ++i) {
        const float v = std::min(1.0f, std::max(-1.0f, frames[i]));
        scratch_[i] = static_cast<int16_t>(std::lrint(v * 32767.0f));
    }
    // The format is little-endian, as is every machine this runs on.
    const size_t written = std::fwrite(scratch_.data(), sizeof(int16_t), scratch_.size(), file_);
    dataBytes_ += written * sizeof(int16_t);
    sinceUpdate_ += written * sizeof(int16_t);
    if (sinceUpdate_ >= 4ull * rate_) {
        UpdateSizes();
    }
}

void WavWriter::UpdateSizes() {
    sinceUpdate_ = 0;
    uint8_t v[4];
    Put32(v, static_cast<uint32_t>(dataBytes_ + 36));
    std::fseek(file_, 4, SEEK_SET);
    std::fwrite(v, 1, 4, file_);
    Put32(v, static_cast<uint32_t>(dataBytes_));
    std::fseek(file_, 40, SEEK_SET);
    std::fwrite(v, 1, 4, file_);
    std::fseek(file_, 0, SEEK_END);
    std::fflush(file_);
}

void WavWriter::Close() {
    if (!file_) {
        return;
    }
    UpdateSizes();
    std::fclose(file_);
    file_ = nullptr;
}

}  // namespace platform::wave
