// The window's microphone: SDL's audio capture of the system's default input, converted by SDL
// to the format asked. Frames arrive on SDL's audio thread.
#include <SDL.h>

#include "platform/wave/Microphone.h"

namespace platform::wave {
namespace {

class SdlMicrophone final : public Microphone {
public:
    ~SdlMicrophone() override {
        if (device_) {
            SDL_CloseAudioDevice(device_);
        }
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

    bool Open(uint32_t rate, int channels, MMRESULT* code, std::string* reason) {
        channels_ = channels;
        SDL_AudioSpec want{};
        want.freq = static_cast<int>(rate);
        want.format = AUDIO_S16SYS;
        want.channels = static_cast<Uint8>(channels);
        // About 10 ms a period, a power of two as some back-ends want.
        want.samples = 1;
        while (want.samples < rate / 100) {
            want.samples = static_cast<Uint16>(want.samples * 2);
        }
        want.callback = &SdlMicrophone::Callback;
        want.userdata = this;
        SDL_AudioSpec have{};
        device_ = SDL_OpenAudioDevice(nullptr, 1, &want, &have, 0);
        if (!device_) {
            *code = MMSYSERR_NODRIVER;
            *reason = std::string("the sound server refused capture: ") + SDL_GetError();
            return false;
        }
        return true;
    }

    void Start(CaptureSink deliver) override {
        // The device's lock orders this with the callback, which runs even while paused.
        SDL_LockAudioDevice(device_);
        deliver_ = std::move(deliver);
        SDL_UnlockAudioDevice(device_);
        SDL_PauseAudioDevice(device_, 0);
    }

    void Stop() override {
        SDL_PauseAudioDevice(device_, 1);
        SDL_LockAudioDevice(device_);
        deliver_ = nullptr;
        SDL_UnlockAudioDevice(device_);
    }

private:
    static void SDLCALL Callback(void* self, Uint8* stream, int bytes) {
        auto* mic = static_cast<SdlMicrophone*>(self);
        if (mic->deliver_) {
            const auto frameBytes = static_cast<int>(sizeof(int16_t)) * mic->channels_;
            mic->deliver_(reinterpret_cast<const int16_t*>(stream),
                          static_cast<uint32_t>(bytes / frameBytes));
        }
    }

    SDL_AudioDeviceID device_ = 0;
    int channels_ = 1;
    CaptureSink deliver_;  // under the device's lock
};

// Audio for as long as it is held; false with SDL's reason when there is none.
bool InitAudio(std::string* reason) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        *reason = std::string("no sound system: ") + SDL_GetError();
        return false;
    }
    return true;
}

}  // namespace

bool SdlHasMicrophone() {
    std::string reason;
    if (!InitAudio(&reason)) {
        return false;
    }
    // -1: the back-end cannot list them, and the default input may still be there.
    const bool some = SDL_GetNumAudioDevices(1) != 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return some;
}

std::unique_ptr<Microphone> OpenSdlMicrophone(uint32_t rate, int channels, MMRESULT* code,
                                              std::string* reason) {
    if (!InitAudio(reason)) {
        *code = MMSYSERR_NODRIVER;
        return nullptr;
    }
    if (SDL_GetNumAudioDevices(1) == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        *code = MMSYSERR_NODRIVER;
        *reason = "no microphone is connected";
        return nullptr;
    }
    auto mic = std::make_unique<SdlMicrophone>();
    if (!mic->Open(rate, channels, code, reason)) {
        return nullptr;
    }
    return mic;
}

}  // namespace platform::wave
