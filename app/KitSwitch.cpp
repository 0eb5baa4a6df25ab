#include "app/KitSwitch.h"

#include "audio/KitLoader.h"
#include "audio/SoundBank.h"
#include "audio/WavePlayer.h"
#include "settings/Settings.h"

namespace {

// Often enough that a word's bank goes soon after it ends; it costs one look per word.
const UINT kSweepPeriodMs = 250;

// The switch whose retired banks the timer looks at; the timer runs only while there are some.
KitSwitch* sweeping = nullptr;

void CopyFolder(WCHAR* dest, LPCWSTR folder) {
    if (!folder || FAILED(StringCchCopy(dest, MAX_PATH, folder))) {
        dest[0] = L'\0';
    }
}

}  // namespace

struct KitSwitch::Job {
    WCHAR folder[MAX_PATH];
    WCHAR builtIn[MAX_PATH];
    HANDLE thread = nullptr;
    HWND window = nullptr;
    UINT command = 0;
    Sounds sounds;  // written by the thread, read by the UI thread after joining it
};

KitSwitch::Sounds KitSwitch::Load(LPCWSTR kitFolder, LPCWSTR builtInFolder) {
    Sounds sounds;
    sounds.bank = std::make_unique<SoundBank>();
    const bool kit = kitFolder && kitFolder[0] != L'\0';
    const KitLoader loader(kitFolder, builtInFolder);
    // A path cut short, or one without its folder, would name another file: then there is no beat.
    WCHAR beatPath[MAX_PATH];
    if (kit) {
        sounds.beat.reset(loader.CreateBeat());
        loader.LoadWords(sounds.bank.get());
    } else {
        if (BuildPath(beatPath, MAX_PATH, builtInFolder, L"Pulsor.wav")) {
            sounds.beat = std::make_unique<WavePlayer>(beatPath);
        }
        sounds.bank->Load(builtInFolder);
    }
    return sounds;
}

KitSwitch::KitSwitch(HWND window_, UINT command_, LPCWSTR builtInFolder)
    : window(window_), command(command_) {
    CopyFolder(builtIn, builtInFolder);
    next[0] = L'\0';
}

KitSwitch::~KitSwitch() {
    Join();
    if (sweeping == this) {
        if (sweepTimer) {
            KillTimer(window, sweepTimer);
        }
        sweeping = nullptr;
    }
    retired.clear();
}

void KitSwitch::Join() {
    if (job && job->thread) {
        WaitForSingleObject(job->thread, INFINITE);
        CloseHandle(job->thread);
        job->thread = nullptr;
    }
}

bool KitSwitch::Start(LPCWSTR kitFolder) {
    if (job) {
        CopyFolder(next, kitFolder);
        hasNext = true;
        return true;
    }
    auto started = std::make_unique<Job>();
    CopyFolder(started->folder, kitFolder);
    CopyFolder(started->builtIn, builtIn);
    started->window = window;
    started->command = command;
    started->thread = CreateThread(nullptr, 0, ThreadProc, started.get(), 0, nullptr);
    if (!started->thread) {
        return false;
    }
    job = std::move(started);
    return true;
}

DWORD WINAPI KitSwitch::ThreadProc(LPVOID parameter) {
    Job* load = static_cast<Job*>(parameter);
    load->sounds = Load(load->folder, load->builtIn);
    PostMessage(load->window, WM_COMMAND, load->command & 0xFFFF, reinterpret_cast<LPARAM>(load));
    return 0;
}

KitSwitch::Sounds KitSwitch::Finish(LPARAM load, WCHAR* folder) {
    folder[0] = L'\0';
    if (!job || load != reinterpret_cast<LPARAM>(job.get())) {
        return {};
    }
    Join();
    std::unique_ptr<Job> done = std::move(job);
    if (hasNext) {
        // A kit chosen while this one loaded: this one never played, so it goes at once.
        hasNext = false;
        Start(next);
        return {};
    }
    StringCchCopy(folder, MAX_PATH, done->folder);
    return std::move(done->sounds);
}

void KitSwitch::Retire(std::unique_ptr<SoundBank> bank, UINT timerId) {
    if (!bank) {
        return;
    }
    retired.push_back(std::move(bank));
    if (!Sweep() && sweeping != this) {
        sweeping = this;
        sweepTimer = timerId;
        SetTimer(window, timerId, kSweepPeriodMs, SweepTimerProc);
    }
}

bool KitSwitch::Sweep() {
    for (auto it = retired.begin(); it != retired.end();) {
        if ((*it)->IsSounding()) {
            ++it;
        } else {
            it = retired.erase(it);
        }
    }
    return retired.empty();
}

void CALLBACK KitSwitch::SweepTimerProc(HWND window, UINT, UINT_PTR id, DWORD) {
    KitSwitch* owner = sweeping;
    if (owner && owner->Sweep()) {
        KillTimer(window, id);
        sweeping = nullptr;
    }
}
