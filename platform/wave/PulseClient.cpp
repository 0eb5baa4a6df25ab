#include "platform/wave/PulseClient.h"

#include <unistd.h>

#include "platform/wave/PulseLoop.h"

namespace platform::wave {
namespace pulse {
namespace {

struct Deadline {
    pa_threaded_mainloop* loop;
    bool passed = false;
};

void OnDeadline(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* data) {
    auto* deadline = static_cast<Deadline*>(data);
    deadline->passed = true;
    pa_threaded_mainloop_signal(deadline->loop, 0);
}

void SignalContext(pa_context*, void* loop) {
    pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
}
void SignalOperation(pa_operation*, void* loop) {
    pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
}

}  // namespace

bool WaitFor(pa_threaded_mainloop* loop, pa_context* context, const std::function<bool()>& ready) {
    Deadline deadline{loop};
    pa_time_event* timer =
        pa_context_rttime_new(context, pa_rtclock_now() + kAnswerWithinUs, OnDeadline, &deadline);
    while (!ready() && !deadline.passed) {
        pa_threaded_mainloop_wait(loop);
    }
    if (timer) {
        pa_threaded_mainloop_get_api(loop)->time_free(timer);
    }
    return ready();
}

pa_proplist* MakeProperties(const PulseClient::Properties& properties) {
    pa_proplist* list = pa_proplist_new();
    for (const auto& [key, value] : properties) {
        pa_proplist_sets(list, key.c_str(), value.c_str());
    }
    return list;
}

}  // namespace pulse

using namespace pulse;

bool PulseClient::Connect(const Properties& properties, std::string* error) {
    Disconnect();
    loop_ = pa_threaded_mainloop_new();
    if (!loop_) {
        *error = "cannot start libpulse's main loop";
        return false;
    }
    pa_proplist* list = MakeProperties(properties);
    context_ = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(loop_), "Pulsor", list);
    pa_proplist_free(list);
    if (!context_) {
        *error = "cannot make a libpulse context";
        Disconnect();
        return false;
    }
    pa_context_set_state_callback(context_, SignalContext, loop_);
    // Without a server there is nothing to be a microphone on: never start one.
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
        pa_threaded_mainloop_start(loop_) < 0) {
        *error = "no sound server: " + ContextError();
        Disconnect();
        return false;
    }
    pa_threaded_mainloop_set_name(loop_, "pulsor-call");
    bool ready = false;
    {
        Locked locked(loop_);
        WaitFor(loop_, context_, [this] {
            return !PA_CONTEXT_IS_GOOD(pa_context_get_state(context_)) ||
                   pa_context_get_state(context_) == PA_CONTEXT_READY;
        });
        ready = pa_context_get_state(context_) == PA_CONTEXT_READY;
        if (!ready) {
            *error = "no sound server: " + ContextError();
        }
    }
    if (!ready) {
        Disconnect();
    }
    return ready;
}

void PulseClient::Disconnect() {
    if (!loop_) {
        return;
    }
    {
        Locked locked(loop_);
        if (stream_) {
            pa_stream_set_state_callback(stream_, nullptr, nullptr);
            pa_stream_disconnect(stream_);
            pa_stream_unref(stream_);
            stream_ = nullptr;
        }
        if (context_) {
            pa_context_set_state_callback(context_, nullptr, nullptr);
            pa_context_disconnect(context_);
            pa_context_unref(context_);
            context_ = nullptr;
        }
    }
    pa_threaded_mainloop_stop(loop_);
    pa_threaded_mainloop_free(loop_);
    loop_ = nullptr;
}

bool PulseClient::Connected() {
    if (!loop_) {
        return false;
    }
    Locked locked(loop_);
    return pa_context_get_state(context_) == PA_CONTEXT_READY;
}

std::string PulseClient::ContextError() const {
    const int code = context_ ? pa_context_errno(context_) : PA_ERR_INTERNAL;
    return pa_strerror(code == PA_OK ? PA_ERR_CONNECTIONTERMINATED : code);
}

bool PulseClient::Await(pa_operation* operation) {
    if (!operation) {
        return false;
    }
    pa_operation_set_state_callback(operation, SignalOperation, loop_);
    const bool finished = WaitFor(loop_, context_, [operation] {
        return pa_operation_get_state(operation) != PA_OPERATION_RUNNING;
    });
    if (!finished) {
        pa_operation_cancel(operation);  // its callback, pointing at the caller's data, never runs
    }
    const bool done = pa_operation_get_state(operation) == PA_OPERATION_DONE;
    pa_operation_set_state_callback(operation, nullptr, nullptr);
    pa_operation_unref(operation);
    return done;
}

bool PulseClient::ListModules(std::vector<Module>* modules, std::string* error) {
    modules->clear();
    if (!loop_) {
        *error = "not connected";
        return false;
    }
    Locked locked(loop_);
    auto each = [](pa_context*, const pa_module_info* info, int eol, void* data) {
        if (eol == 0 && info) {
            static_cast<std::vector<Module>*>(data)->push_back(
                {info->index, info->name ? info->name : "", info->argument ? info->argument : ""});
        }
    };
    if (!Await(pa_context_get_module_info_list(context_, each, modules))) {
        *error = "cannot list the server's modules: " + ContextError();
        return false;
    }
    return true;
}

bool PulseClient::ListClientProperty(const char* key, std::vector<std::string>* values,
                                     std::string* error) {
    values->clear();
    if (!loop_) {
        *error = "not connected";
        return false;
    }
    Locked locked(loop_);
    struct Query {
        const char* key;
        std::vector<std::string>* values;
    } query{key, values};
    auto each = [](pa_context*, const pa_client_info* info, int eol, void* data) {
        auto* q = static_cast<Query*>(data);
        if (eol == 0 && info && info->proplist) {
            if (const char* value = pa_proplist_gets(info->proplist, q->key)) {
                q->values->push_back(value);
            }
        }
    };
    if (!Await(pa_context_get_client_info_list(context_, each, &query))) {
        *error = "cannot list the server's clients: " + ContextError();
        return false;
    }
    return true;
}

bool PulseClient::Defaults(std::string* sink, std::string* source, std::string* error) {
    sink->clear();
    source->clear();
    if (!loop_) {
        *error = "not connected";
        return false;
    }
    Locked locked(loop_);
    std::pair<std::string*, std::string*> names{sink, source};
    auto server = [](pa_context*, const pa_server_info* info, void* data) {
        auto* n = static_cast<std::pair<std::string*, std::string*>*>(data);
        if (info && info->default_sink_name) {
            *n->first = info->default_sink_name;
        }
        if (info && info->default_source_name) {
            *n->second = info->default_source_name;
        }
    };
    if (!Await(pa_context_get_server_info(context_, server, &names))) {
        *error = "cannot ask the server for its defaults: " + ContextError();
        return false;
    }
    return true;
}

bool PulseClient::SetDefault(bool sink, const std::string& name) {
    if (!loop_) {
        return false;
    }
    Locked locked(loop_);
    return Await(sink ? pa_context_set_default_sink(context_, name.c_str(), nullptr, nullptr)
                      : pa_context_set_default_source(context_, name.c_str(), nullptr, nullptr));
}

bool PulseClient::DefaultSource(Source* source, std::string* error) {
    *source = Source();
    std::string sinkName;
    std::string name;
    if (!Defaults(&sinkName, &name, error)) {
        return false;
    }
    Locked locked(loop_);
    bool found = false;
    struct Query {
        Source* source;
        bool* found;
    } query{source, &found};
    auto each = [](pa_context*, const pa_source_info* info, int eol, void* data) {
        auto* q = static_cast<Query*>(data);
        if (eol == 0 && info) {
            q->source->name = info->name ? info->name : "";
            q->source->description = info->description ? info->description : "";
            q->source->monitor = info->monitor_of_sink != PA_INVALID_INDEX;
            *q->found = true;
        }
    };
    // A lookup of a name that is not there fails; that is the answer "none".
    if (name.empty() ||
        !Await(pa_context_get_source_info_by_name(context_, name.c_str(), each, &query)) ||
        !found) {
        *error = "the sound server has no microphone";
        return false;
    }
    return true;
}

bool PulseClient::LoadModule(const std::string& name, const std::string& argument, uint32_t* index,
                             std::string* error) {
    *index = PA_INVALID_INDEX;
    if (!loop_) {
        *error = "not connected";
        return false;
    }
    Locked locked(loop_);
    auto loaded = [](pa_context*, uint32_t at, void* data) { *static_cast<uint32_t*>(data) = at; };
    if (!Await(pa_context_load_module(context_, name.c_str(), argument.c_str(), loaded, index)) ||
        *index == PA_INVALID_INDEX) {
        *error = "the sound server did not load " + name + ": " + ContextError();
        return false;
    }
    return true;
}

bool PulseClient::UnloadModule(uint32_t index) {
    if (!loop_) {
        return false;
    }
    Locked locked(loop_);
    int success = 0;
    auto done = [](pa_context*, int ok, void* data) { *static_cast<int*>(data) = ok; };
    return Await(pa_context_unload_module(context_, index, done, &success)) && success;
}

bool PulseClient::SinkLatency(const std::string& name, uint64_t* latencyUs) {
    if (!loop_) {
        return false;
    }
    Locked locked(loop_);
    struct Query {
        uint64_t* latency;
        bool found;
    } query{latencyUs, false};
    auto each = [](pa_context*, const pa_sink_info* info, int eol, void* data) {
        auto* q = static_cast<Query*>(data);
        if (eol == 0 && info) {
            *q->latency = info->latency;
            q->found = true;
        }
    };
    return Await(pa_context_get_sink_info_by_name(context_, name.c_str(), each, &query)) &&
           query.found;
}

bool PulseClient::RestartSink(const std::string& name) {
    if (!loop_) {
        return false;
    }
    Locked locked(loop_);
    int success = 0;
    auto done = [](pa_context*, int ok, void* data) { *static_cast<int*>(data) &= ok; };
    bool ok = true;
    for (int suspend : {1, 0}) {
        success = 1;
        ok = Await(pa_context_suspend_sink_by_name(context_, name.c_str(), suspend, done,
                                                   &success)) &&
             success && ok;
    }
    return ok;
}

bool PulseClient::AwaitDevice(bool sink, const std::string& name, std::string* error) {
    if (!loop_) {
        *error = "not connected";
        return false;
    }
    const pa_usec_t until = pa_rtclock_now() + kAnswerWithinUs;
    for (;;) {
        {
            Locked locked(loop_);
            bool found = false;
            auto sinkInfo = [](pa_context*, const pa_sink_info* info, int eol, void* data) {
                *static_cast<bool*>(data) |= eol == 0 && info;
            };
            auto sourceInfo = [](pa_context*, const pa_source_info* info, int eol, void* data) {
                *static_cast<bool*>(data) |= eol == 0 && info;
            };
            Await(sink ? pa_context_get_sink_info_by_name(context_, name.c_str(), sinkInfo, &found)
                       : pa_context_get_source_info_by_name(context_, name.c_str(), sourceInfo,
                                                            &found));
            if (found) {
                return true;
            }
            if (pa_context_get_state(context_) != PA_CONTEXT_READY || pa_rtclock_now() > until) {
                *error = "the sound server did not make " + name;
                return false;
            }
        }
        usleep(5000);
    }
}

}  // namespace platform::wave
