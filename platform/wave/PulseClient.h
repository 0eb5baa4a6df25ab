// A client of the user's sound server (PulseAudio, or PipeWire through pipewire-pulse, which
// speaks the same protocol) on libpulse's threaded main loop: the few requests the call output
// makes. Each request is waited for with a bound, so a server that stops answering never hangs
// the caller.
//
// Not thread-safe: one thread at a time (the call output holds its own lock around it).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct pa_threaded_mainloop;
struct pa_context;
struct pa_operation;
struct pa_stream;

namespace platform::wave {

class PulseClient {
public:
    struct Module {
        uint32_t index = 0;
        std::string name;
        std::string argument;
    };
    struct Source {
        std::string name;
        std::string description;
        bool monitor = false;  // the sound of a sink, not an input
    };
    using Properties = std::vector<std::pair<std::string, std::string>>;

    PulseClient() = default;
    ~PulseClient() { Disconnect(); }
    PulseClient(const PulseClient&) = delete;
    PulseClient& operator=(const PulseClient&) = delete;

    // Connects to the user's server (never starting one), as a client with these properties.
    // False with the reason.
    bool Connect(const Properties& properties, std::string* error);
    void Disconnect();
    // False once the server has gone away.
    bool Connected();

    bool ListModules(std::vector<Module>* modules, std::string* error);
    // The value of the property `key` of every connected client that has it.
    bool ListClientProperty(const char* key, std::vector<std::string>* values, std::string* error);
    // The server's default source; false with the reason when it has none.
    bool DefaultSource(Source* source, std::string* error);
    // The names of the server's default sink and source (empty where it has none).
    bool Defaults(std::string* sink, std::string* source, std::string* error);
    // Makes the named sink (or source) the server's default.
    bool SetDefault(bool sink, const std::string& name);
    bool LoadModule(const std::string& name, const std::string& argument, uint32_t* index,
                    std::string* error);
    bool UnloadModule(uint32_t index);
    // How far ahead of the present the sink has rendered, in microseconds; false when unknown.
    bool SinkLatency(const std::string& name, uint64_t* latencyUs);
    // Suspends the sink and resumes it: a PulseAudio null sink then renders from now on in blocks
    // of its clients' latency, where it may have rendered seconds ahead while none asked for
    // less.
    bool RestartSink(const std::string& name);
    // Until the server lists a sink (or source) of that name: PipeWire makes a module's devices
    // a moment after it has answered the load.
    bool AwaitDevice(bool sink, const std::string& name, std::string* error);

    // A playback stream of 48 kHz stereo float into `sink`, which may not be moved elsewhere.
    // The server takes its sound every `requestFrames` (the sink's latency); the stream holds at
    // most `bufferFrames` and starts playing once `startFrames` are queued, again after running
    // dry.
    bool OpenPlayback(const std::string& sink, const Properties& properties, uint32_t requestFrames,
                      uint32_t bufferFrames, uint32_t startFrames, std::string* error);
    // Frames the stream has room for below `bufferFrames` (what it holds is the rest, known to
    // within `requestFrames`); 0 without a stream.
    size_t Room();
    // False when the stream or the server has gone.
    bool Write(const float* frames, size_t count);
    void ClosePlayback();

private:
    // With the loop locked: until the operation has finished; false when it failed or the
    // server did not answer in time.
    bool Await(pa_operation* operation);
    std::string ContextError() const;

    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
};

}  // namespace platform::wave
