// Single instance across processes: every top-level window binds an abstract UNIX socket named
// from the user id, its class and its title. The kernel frees the name when the process dies, so
// nothing goes stale. Another process finds the window by connecting, and asks for it to be
// raised by writing one byte. A process that found its settings folder locked by another yields to
// it: it waits for that one's window and makes none of its own.
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <cwctype>
#include <map>
#include <thread>

#include "platform/user/User.h"
#include "platform/user/UserInternal.h"

namespace platform::user {

namespace {

constexpr char kProbe = 'P';
constexpr char kRaise = 'R';
constexpr char kRaised = 'A';  // the raise is queued in the owner's loop

uint64_t Hash(const std::wstring& text, uint64_t h) {
    for (wchar_t c : text) {
        h ^= static_cast<uint32_t>(c);
        h *= 1099511628211ULL;  // FNV-1a
    }
    return h;
}

std::atomic<long long> gPatienceMs{-1};  // -1: not yielding to a running instance
std::atomic<bool> gRaisedRemote{false};

std::mutex gScopeMutex;
std::wstring& Scope() {
    static auto* scope = new std::wstring();
    return *scope;
}

// Class names compare without case, titles exactly.
std::string SocketName(const std::wstring& className, const std::wstring& title) {
    std::wstring folded = className;
    for (wchar_t& c : folded) {
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    }
    std::wstring scope;
    {
        std::lock_guard<std::mutex> lock(gScopeMutex);
        scope = Scope();
    }
    uint64_t h = Hash(folded, 14695981039346656037ULL);
    h = Hash(std::wstring(1, L'\x1f') + title, h);
    h = Hash(std::wstring(1, L'\x1f') + scope, h);
    char name[64];
    std::snprintf(name, sizeof name, "pulsor-window-%u-%016llx", static_cast<unsigned>(getuid()),
                  static_cast<unsigned long long>(h));
    return name;
}

socklen_t Address(const std::string& name, sockaddr_un* addr) {
    std::memset(addr, 0, sizeof *addr);
    addr->sun_family = AF_UNIX;
    // Abstract namespace: a leading NUL, no file.
    std::memcpy(addr->sun_path + 1, name.data(), name.size());
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
}

// Connects to the named window; -1 when no process owns it.
int Connect(const std::string& name) {
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    sockaddr_un addr;
    socklen_t len = Address(name, &addr);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool SendRequest(const std::string& name, char request) {
    int fd = Connect(name);
    if (fd < 0) {
        return false;
    }
    ssize_t n;
    do {
        n = send(fd, &request, 1, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    // A raise is answered once it sits in the owner's queue, so that whoever started this process
    // and waits for it finds the owner raised.
    if (n == 1 && request == kRaise) {
        pollfd reply{fd, POLLIN, 0};
        char answer = 0;
        if (poll(&reply, 1, 1000) == 1) {
            ssize_t ignored = recv(fd, &answer, 1, 0);
            (void)ignored;
        }
    }
    close(fd);
    return n == 1;
}

struct RemoteWindow : HandleObject {
    static constexpr HandleType kType = HandleType::RemoteWindow;
    explicit RemoteWindow(std::string n) : HandleObject(kType), name(std::move(n)) {}
    const std::string name;
};

// One handle object per remote name, kept for the life of the process.
HWND RemoteHandle(const std::string& name) {
    static std::mutex mutex;
    static auto* handles = new std::map<std::string, RemoteWindow*>();
    std::lock_guard<std::mutex> lock(mutex);
    RemoteWindow*& object = (*handles)[name];
    if (!object) {
        object = new RemoteWindow(name);
        RegisterHandle(object);
    }
    return reinterpret_cast<HWND>(object);
}

}  // namespace

void SetInstanceScope(const std::string& scope) {
    std::lock_guard<std::mutex> lock(gScopeMutex);
    Scope().assign(scope.begin(), scope.end());
}

void YieldToRunningInstance(std::chrono::milliseconds patience) {
    gPatienceMs = std::max<long long>(patience.count(), 0);
}

bool YieldingToRunningInstance() {
    return gPatienceMs >= 0;
}

bool RaisedRunningInstance() {
    return gRaisedRemote;
}

class InstanceListener {
public:
    InstanceListener(Window* window, int listenFd) : window_(window), listenFd_(listenFd) {
        if (pipe2(stopPipe_, O_CLOEXEC) != 0) {
            stopPipe_[0] = stopPipe_[1] = -1;
        }
        thread_ = std::thread([this] { Run(); });
    }
    ~InstanceListener() {
        char byte = 0;
        if (stopPipe_[1] >= 0) {
            ssize_t ignored = write(stopPipe_[1], &byte, 1);
            (void)ignored;
        }
        thread_.join();
        close(listenFd_);
        if (stopPipe_[0] >= 0) {
            close(stopPipe_[0]);
            close(stopPipe_[1]);
        }
    }

private:
    // Not a clock participant: it only waits for other processes, in real time.
    void Run() {
        for (;;) {
            pollfd fds[2] = {{listenFd_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
            int n = poll(fds, stopPipe_[0] >= 0 ? 2 : 1, -1);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0 || (fds[1].revents & POLLIN)) {
                return;
            }
            int client = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) {
                continue;
            }
            Serve(client);
            close(client);
        }
    }

    void Serve(int client) {
        pollfd fd{client, POLLIN, 0};
        if (poll(&fd, 1, 1000) <= 0) {
            return;  // a client that never speaks is a probe
        }
        char request = 0;
        if (recv(client, &request, 1, 0) != 1 || request != kRaise) {
            return;
        }
        {
            std::shared_lock<std::shared_mutex> lock(WindowLifetimeMutex());
            PostLocked(window_, kRaiseMessage, 0, 0);
        }
        WakeLoops();
        ssize_t ignored = send(client, &kRaised, 1, MSG_NOSIGNAL);
        (void)ignored;
    }

    Window* window_;
    int listenFd_;
    int stopPipe_[2] = {-1, -1};
    std::thread thread_;
};

InstanceListener* ListenForInstances(Window* window) {
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return nullptr;
    }
    sockaddr_un addr;
    socklen_t len = Address(SocketName(window->className, window->title), &addr);
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0 || listen(fd, 8) != 0) {
        close(fd);  // another process already owns the name
        return nullptr;
    }
    return new InstanceListener(window, fd);
}

void StopListening(InstanceListener* listener) {
    delete listener;
}

}  // namespace platform::user

using namespace platform;
using namespace platform::user;

HWND FindWindow(LPCWSTR className, LPCWSTR windowName) {
    std::vector<Window*> local = FindLocalWindows(className, windowName);
    if (!local.empty()) {
        return reinterpret_cast<HWND>(local.front());
    }
    if (!className || !windowName || IS_INTRESOURCE(className)) {
        return nullptr;  // other processes are found by their full name only
    }
    std::string name = SocketName(className, windowName);
    int fd = Connect(name);
    // The other process, started at the same moment, may not have made its window yet: waited
    // for on the wall clock, as that process starts on it.
    const auto until = std::chrono::steady_clock::now() +
                       std::chrono::milliseconds(std::max(gPatienceMs.load(), 0LL));
    while (fd < 0 && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        fd = Connect(name);
    }
    if (fd < 0) {
        return nullptr;
    }
    char probe = kProbe;
    ssize_t ignored = send(fd, &probe, 1, MSG_NOSIGNAL);
    (void)ignored;
    close(fd);
    return RemoteHandle(name);
}

BOOL SetForegroundWindow(HWND hwnd) {
    // The lowest bit asks for owned windows to come forward too; there are none here.
    auto bits = reinterpret_cast<uintptr_t>(hwnd) & ~static_cast<uintptr_t>(1);
    HWND target = reinterpret_cast<HWND>(bits);
    if (auto* remote = LookupAs<RemoteWindow>(target)) {
        if (!SendRequest(remote->name, kRaise)) {
            return FALSE;
        }
        gRaisedRemote = true;
        return TRUE;
    }
    Window* window = LookupAs<Window>(target);
    if (!window) {
        return FALSE;
    }
    if (window->owner == std::this_thread::get_id()) {
        RaiseWindow(window);
    } else {
        PostMessage(target, kRaiseMessage, 0, 0);
    }
    return TRUE;
}
