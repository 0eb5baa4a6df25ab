#include "app/Beat.h"

#include "app/Ids.h"
#include "audio/WavePlayer.h"

namespace {

const UINT kProgressPeriodMs = 300;

// The beat whose bar the timer moves; the timer runs only between Start and Stop.
Beat* timedBeat = nullptr;

}  // namespace

Beat::Beat(HWND window_, std::unique_ptr<WavePlayer> player_) : window(window_) {
    Adopt(std::move(player_));
}

Beat::~Beat() {
    if (timedBeat == this) {
        timedBeat = nullptr;
    }
}

void Beat::SetVolume(UINT level) {
    if (level > 100) {
        return;
    }
    volume = level;
    if (player) {
        player->SetVolume(level);
    }
}

void Beat::SetPlayer(std::unique_ptr<WavePlayer> next) {
    if (playing) {
        pending = std::move(next);
        hasPending = true;
    } else {
        Adopt(std::move(next));
    }
}

void Beat::Adopt(std::unique_ptr<WavePlayer> next) {
    player = std::move(next);
    pending.reset();
    hasPending = false;
    if (player) {
        player->SetNotify(window, IDC_BEAT_PLAYER);
        player->SetVolume(volume);
    }
}

void Beat::Start() {
    if (!player) {
        return;
    }
    player->Play();
    playing = true;
    if (listener) {
        listener->OnBeatStarted();
    }
    startTime = GetTickCount();
    length = player->GetLengthSeconds();
    if (listener) {
        listener->OnBeatProgress(0);
    }
    timedBeat = this;
    SetTimer(window, IDT_BEAT_PROGRESS, kProgressPeriodMs, ProgressTimerProc);
}

void Beat::Stop() {
    if (!player) {
        return;
    }
    player->Stop();
    playing = false;
    if (hasPending) {
        Adopt(std::move(pending));
    }
    if (listener) {
        listener->OnBeatStopped();
    }
    KillTimer(window, IDT_BEAT_PROGRESS);
    if (listener) {
        listener->OnBeatProgress(0);
    }
}

bool Beat::OnCommand(int id, int code, LPARAM from) {
    if (id != IDC_BEAT_PLAYER) {
        return false;
    }
    if (code == MM_WOM_DONE && from == reinterpret_cast<LPARAM>(player.get())) {
        Stop();
    }
    return true;
}

int Beat::PercentPlayed(DWORD elapsedMs, DWORD lengthSeconds) {
    if (elapsedMs == 0 || lengthSeconds == 0) {
        return -1;
    }
    const DWORD percent = ((elapsedMs / 1000u) * 100u) / lengthSeconds;
    return percent <= 100 ? static_cast<int>(percent) : -1;
}

void CALLBACK Beat::ProgressTimerProc(HWND, UINT, UINT_PTR, DWORD) {
    Beat* beat = timedBeat;
    if (!beat || !beat->listener) {
        return;
    }
    const int percent = PercentPlayed(GetTickCount() - beat->startTime, beat->length);
    if (percent >= 0) {
        beat->listener->OnBeatProgress(percent);
    }
}
