// Writes a take: 16-bit stereo PCM in a canonical WAV file (a 44-byte header), which continues as
// RF64 when it grows past what a RIFF header can count (4 GiB, over six hours at 48 kHz). Sound
// reaches the file a second at a time, each second with the header brought up to date, so a file
// cut off by a killed process still plays. Every write is checked: the first that fails ends the
// take with a header true to what the file holds, said on stderr with the path, the reason and
// how much was kept.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform::wave {

class WavWriter {
public:
    WavWriter() = default;
    ~WavWriter() { Close(); }
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // Takes `path` for a take before anything is written: an existing regular file, or a new one
    // in a folder that can be written (made when missing). An advisory lock held until Close
    // keeps any other Pulsor from writing it too. What an existing file holds is untouched until
    // Begin, and a file the claim made is removed again if Close comes before Begin. False with
    // "cannot write PATH: reason" (or "cannot write into FOLDER: reason").
    bool Claim(const std::string& path, std::string* error);
    // Empties the claimed file and writes the header of a take at `rate`. False when that fails,
    // said on stderr as any failed write is.
    bool Begin(uint32_t rate);
    // Interleaved stereo float, clipped to ±1 and rounded to 16 bits; ignored after a failure.
    // Allocates nothing but, once, the buffer the move to RF64 goes through.
    void Append(const float* frames, int count);
    // Frames its caller could not hand over: the take is not whole.
    void Missed(uint64_t frames) { missed_ += frames; }
    // Writes what is left, completes the header and lets the file go. False when the take lacks
    // something: a write failed or frames were missed.
    bool Close();

    const std::string& Path() const { return path_; }
    uint32_t Rate() const { return rate_; }

private:
    bool Flush();
    bool WriteHeader();
    void SwitchToRf64();
    void MoveStep(uint64_t most);  // moves at most `most` bytes
    void Fail(int number);
    void Report(int number) const;

    int fd_ = -1;
    std::string path_;
    uint32_t rate_ = 0;
    bool created_ = false;  // by Claim: no file was there
    bool begun_ = false;
    bool failed_ = false;
    uint64_t missed_ = 0;
    uint64_t riffLimit_ = 0;       // the most sound a RIFF header is asked to count
    uint64_t dataBytes_ = 0;       // sound in the file
    std::vector<int16_t> buffer_;  // sound not yet in the file: up to a second
    size_t buffered_ = 0;
    bool rf64_ = false;
    // While a take becomes RF64, the sound already written moves up by the size the longer header
    // needs, a step at a time from its end; `unmoved_` bytes at its start have yet to move.
    bool moving_ = false;
    uint64_t unmoved_ = 0;
    std::vector<uint8_t> moveBuffer_;
};

// For tests: the amount of sound past which a take continues as RF64, in place of the most a RIFF
// header can count (0 restores that). Read by Begin.
void SetRiffLimitForTests(uint64_t dataBytes);

}  // namespace platform::wave
