// The PulseClient's playback stream: 48 kHz stereo float into one sink, with early requests.
#include "platform/wave/PulseClient.h"

#include "platform/wave/PulseLoop.h"

namespace platform::wave {
namespace {

using namespace pulse;

constexpr pa_sample_spec kFormat = {PA_SAMPLE_FLOAT32LE, 48000, 2};
constexpr size_t kFrameBytes = sizeof(float) * 2;

void SignalStream(pa_stream*, void* loop) {
    pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
}

}  // namespace

bool PulseClient::OpenPlayback(const std::string& sink, const Properties& properties,
                               uint32_t requestFrames, uint32_t bufferFrames, uint32_t startFrames,
                               std::string* error) {
    ClosePlayback();
    if (!loop_) {
        *error = "not connected";
        return false;
    }
    Locked locked(loop_);
    pa_proplist* list = MakeProperties(properties);
    stream_ = pa_stream_new_with_proplist(context_, "Pulsor", &kFormat, nullptr, list);
    pa_proplist_free(list);
    if (!stream_) {
        *error = "cannot make a stream: " + ContextError();
        return false;
    }
    pa_stream_set_state_callback(stream_, SignalStream, loop_);
    pa_buffer_attr attr;
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = static_cast<uint32_t>(bufferFrames * kFrameBytes);
    attr.prebuf = static_cast<uint32_t>(startFrames * kFrameBytes);
    attr.minreq = static_cast<uint32_t>(requestFrames * kFrameBytes);
    attr.fragsize = static_cast<uint32_t>(-1);
    // Early requests: the sink's latency is the request size, whatever the buffer holds, so the
    // buffer's fill is this program's to keep small. Never moved to another sink (where it would
    // be heard, not sent): it fails instead.
    const auto flags =
        static_cast<pa_stream_flags_t>(PA_STREAM_EARLY_REQUESTS | PA_STREAM_DONT_MOVE);
    pa_stream* stream = stream_;
    if (pa_stream_connect_playback(stream_, sink.c_str(), &attr, flags, nullptr, nullptr) < 0 ||
        !WaitFor(loop_, context_,
                 [stream] {
                     return !PA_STREAM_IS_GOOD(pa_stream_get_state(stream)) ||
                            pa_stream_get_state(stream) == PA_STREAM_READY;
                 }) ||
        pa_stream_get_state(stream_) != PA_STREAM_READY) {
        *error = "cannot play into " + sink + ": " + ContextError();
        pa_stream_set_state_callback(stream_, nullptr, nullptr);
        pa_stream_disconnect(stream_);
        pa_stream_unref(stream_);
        stream_ = nullptr;
        return false;
    }
    return true;
}

size_t PulseClient::Room() {
    if (!loop_) {
        return 0;
    }
    Locked locked(loop_);
    if (!stream_ || pa_stream_get_state(stream_) != PA_STREAM_READY) {
        return 0;
    }
    const size_t bytes = pa_stream_writable_size(stream_);
    return bytes == static_cast<size_t>(-1) ? 0 : bytes / kFrameBytes;
}

bool PulseClient::Write(const float* frames, size_t count) {
    if (!loop_) {
        return false;
    }
    if (count == 0) {
        return true;
    }
    Locked locked(loop_);
    return stream_ && pa_stream_get_state(stream_) == PA_STREAM_READY &&
           pa_stream_write(stream_, frames, count * kFrameBytes, nullptr, 0, PA_SEEK_RELATIVE) == 0;
}

void PulseClient::ClosePlayback() {
    if (!loop_ || !stream_) {
        return;
    }
    Locked locked(loop_);
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
    stream_ = nullptr;
}

}  // namespace platform::wave
