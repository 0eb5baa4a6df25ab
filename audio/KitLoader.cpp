#include "audio/KitLoader.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "audio/SoundBank.h"
#include "audio/WavePlayer.h"
#include "settings/Settings.h"

namespace {

void Warn(LPCWSTR path, LPCWSTR reason) {
    std::fprintf(stderr, "pulsor: kit: %ls: %ls; the built-in sound plays instead\n", path, reason);
}

// An entry named like a word that is no file to play (a folder, a named pipe, a link to nothing).
void CALLBACK WarnSkipped(LPCWSTR path, LPCWSTR reason, LPVOID) {
    std::fprintf(stderr, "pulsor: kit: %ls: %ls; not used\n", path, reason);
}

WavePlayer* BuiltInPlayer(LPCWSTR folder, LPCWSTR stem) {
    WCHAR name[32];
    WCHAR path[MAX_PATH];
    if (FAILED(StringCchCopy(name, 32, stem)) || FAILED(StringCchCat(name, 32, L".wav")) ||
        !BuildPath(path, MAX_PATH, folder, name)) {
        return nullptr;
    }
    return new (std::nothrow) WavePlayer(path);
}

}  // namespace

KitLoader::KitLoader(LPCWSTR kitFolder, LPCWSTR builtInFolder) {
    if (!kitFolder || FAILED(StringCchCopy(kit, MAX_PATH, kitFolder))) {
        kit[0] = L'\0';
    }
    if (!builtInFolder || FAILED(StringCchCopy(builtIn, MAX_PATH, builtInFolder))) {
        builtIn[0] = L'\0';
    }
}

WavePlayer* KitLoader::CreatePlayer(LPCWSTR stem, bool matchLoudness, bool* found) const {
    WCHAR path[MAX_PATH];
    const bool inKit =
        kit[0] != L'\0' && SndFindFile(kit, stem, path, MAX_PATH, WarnSkipped, nullptr);
    if (found) {
        *found = inKit;
    }
    if (!inKit) {
        return BuiltInPlayer(builtIn, stem);
    }
    SNDDECODE decode{};
    decode.targetLufs = matchLoudness ? kBuiltInLoudness : SND_KEEP_LOUDNESS;
    decode.maxSeconds = kMaxSeconds;
    decode.maxChannels = kMaxChannels;
    DWORD size = 0;
    LPBYTE image = SndDecodeFile(path, &decode, &size);
    if (!image) {
        Warn(path, decode.reason);
        return BuiltInPlayer(builtIn, stem);
    }
    // The player owns its image as the built-in players own theirs.
    BYTE* copy = new (std::nothrow) BYTE[size];
    if (copy) {
        std::memcpy(copy, image, size);
    }
    SndFreeImage(image);
    if (!copy) {
        Warn(path, L"is too large for the memory left");
        return BuiltInPlayer(builtIn, stem);
    }
    WavePlayer* player = new (std::nothrow) WavePlayer(copy, size);
    if (player && !player->IsPlayable() && waveOutGetNumDevs() > 0) {
        delete player;
        Warn(path, L"cannot be played");
        return BuiltInPlayer(builtIn, stem);
    }
    return player;
}

int KitLoader::LoadVoice(SoundBank* bank, bool high) const {
    int words = 0;
    for (int word = 1; word <= SoundBank::kWords; ++word) {
        WCHAR stem[16];
        StringCchPrintf(stem, 16, high ? L"H%d" : L"L%d", word);
        bool found = false;
        bank->SetSample(word, high, CreatePlayer(stem, true, &found));
        words += found ? 1 : 0;
    }
    return words;
}

namespace {

struct HighVoice {
    const KitLoader* loader;
    SoundBank* bank;
    int words;
};

DWORD WINAPI LoadHighVoice(LPVOID parameter) {
    HighVoice* job = static_cast<HighVoice*>(parameter);
    job->words = job->loader->LoadVoice(job->bank, true);
    return 0;
}

}  // namespace

void KitLoader::LoadWords(SoundBank* bank) const {
    if (!bank) {
        return;
    }
    // The two voices decode side by side: each fills its own slots of the bank.
    HighVoice high{this, bank, 0};
    HANDLE thread = CreateThread(nullptr, 0, LoadHighVoice, &high, 0, nullptr);
    int words = LoadVoice(bank, false);
    if (thread) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    } else {
        high.words = LoadVoice(bank, true);
    }
    words += high.words;
    if (words == 0) {
        // Most likely the folder was moved or emptied since it was chosen.
        std::fprintf(stderr,
                     "pulsor: kit: %ls holds no words (L1..L16, H1..H16); the built-in words "
                     "play\n",
                     kit);
    }
    LoadLabels(bank);
}

WavePlayer* KitLoader::CreateWord(int word, bool high) const {
    WCHAR stem[16];
    StringCchPrintf(stem, 16, high ? L"H%d" : L"L%d", word);
    return CreatePlayer(stem, true);
}

WavePlayer* KitLoader::CreateBeat() const {
    return CreatePlayer(L"Pulsor", false);
}

void KitLoader::LoadLabels(SoundBank* bank) const {
    WCHAR path[MAX_PATH];
    if (!bank || !BuildPath(path, MAX_PATH, kit, L"labels.txt")) {
        return;
    }
    WCHAR reason[128];
    DWORD length = 0;
    // Sixteen short lines: anything much larger is not a captions file.
    LPBYTE bytes = SndReadFile(path, kMaxLabelsBytes, &length, reason, 128);
    if (!bytes) {
        if (reason[0]) {
            std::fprintf(stderr, "pulsor: kit: %ls: %ls; the pad's own captions are used\n", path,
                         reason);
        }
        return;
    }
    const char* text = reinterpret_cast<const char*>(bytes);
    size_t at = 0;
    if (length >= 3 && std::memcmp(text, "\xEF\xBB\xBF", 3) == 0) {
        at = 3;  // a byte-order mark some editors write
    }
    int word = 1;
    while (at < length && word <= SoundBank::kWords) {
        size_t end = at;
        while (end < length && text[end] != '\n') {
            ++end;
        }
        size_t stop = end;
        if (stop > at && text[stop - 1] == '\r') {
            --stop;
        }
        WCHAR label[kMaxLabelLength + 1];
        const int bytes = static_cast<int>(stop - at);
        const int chars = bytes == 0 ? 0
                                     : MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text + at,
                                                           bytes, nullptr, 0);
        if (bytes > 0 && chars > 0 && chars <= kMaxLabelLength &&
            MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text + at, bytes, label,
                                kMaxLabelLength) == chars) {
            label[chars] = L'\0';
            bank->SetLabel(word, label);
        } else if (bytes > 0) {
            std::fprintf(stderr,
                         "pulsor: kit: %ls: line %d is %s; the pad's own caption is used there\n",
                         path, word, chars == 0 ? "not UTF-8" : "too long");
        }
        ++word;
        at = end + 1;
    }
    SndFreeImage(bytes);
}
