// Any bytes as a sound file: the header reader, the player's construction from a file, and the
// mixer playing whatever format and data the header claims.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "audio/WavePlayer.h"
#include "platform/wave/Mixer.h"

using namespace platform::wave;

namespace {

// The file the player reads, kept in memory.
int FileDescriptor() {
    static int fd = memfd_create("wav_fuzz", 0);
    return fd;
}

void PlayThroughMixer(const uint8_t* data, size_t size, const WAVEFORMATEX& format) {
    SourceFormat parsed;
    if (!ParseFormat(format, &parsed)) {
        return;
    }
    // Own copy, exactly as long as the data, so any read past it is caught.
    std::vector<uint8_t> samples(data + 44, data + size);
    BoundedQueue<Notice> notices(64);
    Mixer mixer(kDeviceRate, &notices);
    MixerVoice voice(parsed);
    voice.volume = 0xFFFF;
    Command c;
    c.kind = Command::Add;
    c.voice = &voice;
    mixer.Post(c);
    const uint32_t frames = static_cast<uint32_t>(samples.size() / parsed.frameBytes);
    c.kind = Command::Write;
    c.data = samples.data();
    c.frames = frames;
    c.serial = 1;
    mixer.Post(c);
    c.serial = 2;  // a second buffer right behind: interpolation across the two
    mixer.Post(c);
    float out[2 * 1024];
    for (int i = 0; i < 8; ++i) {
        mixer.Render(out, 1024);
        for (float v : out) {
            if (!(v >= -1.0f && v <= 1.0f)) {
                __builtin_trap();  // the clip must hold whatever the input
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WAVEFORMATEX format;
    DWORD seconds;
    if (ReadWaveHeader(data, size, &format, &seconds)) {
        PlayThroughMixer(data, size, format);
    }

    const int fd = FileDescriptor();
    if (fd >= 0 && ftruncate(fd, 0) == 0 &&
        pwrite(fd, data, size, 0) == static_cast<ssize_t>(size)) {
        const std::string path = "/proc/self/fd/" + std::to_string(fd);
        WavePlayer player(std::wstring(path.begin(), path.end()).c_str());
        player.Play();
        player.SetVolume(50);
        player.Stop();
        if (player.GetLengthSeconds() != seconds) {
            __builtin_trap();  // the file and the memory reading must agree
        }
    }
    return 0;
}
