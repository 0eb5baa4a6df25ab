#include "app/WordJob.h"

#include <cstdio>
#include <string>

#include "app/Ids.h"
#include "app/Kits.h"
#include "audio/KitLoader.h"

namespace {

const int kReasonLength = 256;

std::wstring Stem(bool high, int word) {
    return (high ? L"H" : L"L") + std::to_wstring(word);
}

// The image of one voice of the job's word, or null with the reason in `error`.
LPBYTE MakeVoice(WordJob& job, const BYTE* source, DWORD sourceSize, DWORD voice, DWORD* size) {
    WCHAR reason[kReasonLength] = L"";
    LPBYTE image = nullptr;
    switch (job.kind) {
        case WordJob::Speak:
            image = SndSpeakText(job.text.c_str(), voice, size, reason, kReasonLength);
            if (!image) {
                job.error = L"\"" + job.text + L"\": " + reason;
            }
            return image;
        case WordJob::Record:
        case WordJob::File:
            // A recording loses its silence; a file someone chose keeps its own timing.
            image = SndShapeVoice(source, sourceSize, voice,
                                  job.kind == WordJob::Record ? SNDSHAPE_TRIM : 0, size, reason,
                                  kReasonLength);
            if (!image) {
                job.error =
                    (job.kind == WordJob::File ? job.file : L"the recording") + L": " + reason;
            }
            return image;
        default:
            return nullptr;
    }
}

// Removes the word's files other than `keep` (every one when empty); false with the reason.
bool RemoveOtherFiles(WordJob& job, const std::wstring& stem, const std::wstring& keep) {
    WIN32_FIND_DATAW found;
    const std::wstring pattern = job.kit + stem + L".*";
    HANDLE find = FindFirstFileW(pattern.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) {
        return true;
    }
    bool removed = true;
    do {
        const std::wstring name = found.cFileName;
        if (name == keep || (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            continue;
        }
        const std::wstring path = job.kit + name;
        if (!DeleteFileW(path.c_str())) {
            job.error = path + L": cannot be removed: " + Kits::LastErrorWords();
            removed = false;
            break;
        }
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return removed;
}

bool WriteLabels(WordJob& job) {
    std::string bytes;
    for (const std::wstring& line : job.labels) {
        if (!line.empty()) {
            const int length =
                WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()),
                                    nullptr, 0, nullptr, nullptr);
            std::string utf8(static_cast<size_t>(length > 0 ? length : 0), '\0');
            if (length > 0) {
                WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()),
                                    &utf8[0], length, nullptr, nullptr);
            }
            bytes += utf8;
        }
        bytes += '\n';
    }
    const std::wstring path = job.kit + L"labels.txt";
    WCHAR reason[kReasonLength] = L"";
    if (!SndWriteFile(path.c_str(), reinterpret_cast<const BYTE*>(bytes.data()),
                      static_cast<DWORD>(bytes.size()), reason, kReasonLength)) {
        job.error = path + L": " + reason;
        return false;
    }
    return true;
}

// Both voices made and written, each file replacing the word's older ones only once it is in
// place.
bool MakeAndWrite(WordJob& job) {
    const BYTE* source = job.sound.data();
    DWORD sourceSize = static_cast<DWORD>(job.sound.size());
    LPBYTE decoded = nullptr;
    if (job.kind == WordJob::File) {
        SNDDECODE decode{};
        decode.targetLufs = SND_KEEP_LOUDNESS;
        decode.maxSeconds = WordJob::kMaxFileSeconds;
        decode.maxChannels = KitLoader::kMaxChannels;
        decoded = SndDecodeFile(job.file.c_str(), &decode, &sourceSize);
        if (!decoded) {
            job.error = job.file + L": " + decode.reason;
            return false;
        }
        source = decoded;
    }
    LPBYTE images[2] = {nullptr, nullptr};
    DWORD sizes[2] = {0, 0};
    bool made = true;
    for (DWORD voice = 0; voice < 2 && made; ++voice) {
        images[voice] =
            MakeVoice(job, source, sourceSize, voice ? SNDVOICE_HIGH : SNDVOICE_LOW, &sizes[voice]);
        made = images[voice] != nullptr;
    }
    if (decoded) {
        SndFreeImage(decoded);
    }
    for (int voice = 0; voice < 2 && made; ++voice) {
        const std::wstring name = Stem(voice == 1, job.word) + L".flac";
        const std::wstring path = job.kit + name;
        WCHAR reason[kReasonLength] = L"";
        if (!SndEncodeFile(path.c_str(), images[voice], sizes[voice], reason, kReasonLength)) {
            job.error = path + L": " + reason;
            made = false;
        } else {
            made = RemoveOtherFiles(job, Stem(voice == 1, job.word), name);
        }
    }
    SndFreeImage(images[0]);
    SndFreeImage(images[1]);
    return made;
}

}  // namespace

void RunWordJob(WordJob& job) {
    job.error.clear();
    bool done = true;
    if (job.kind == WordJob::BuiltIn) {
        done = RemoveOtherFiles(job, Stem(false, job.word), L"") &&
               RemoveOtherFiles(job, Stem(true, job.word), L"");
    } else if (job.kind != WordJob::Caption) {
        done = MakeAndWrite(job);
    }
    if (done && !job.labels.empty()) {
        done = WriteLabels(job);
    }
    if (job.kind == WordJob::Caption) {
        return;
    }
    // Loaded whatever came of it: a word half written is the one the kit now holds.
    const KitLoader loader(job.kit.c_str(), job.builtIn.c_str());
    job.low.reset(loader.CreateWord(job.word, false));
    job.high.reset(loader.CreateWord(job.word, true));
}

WordMaker::~WordMaker() {
    if (thread) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
}

bool WordMaker::Start(std::unique_ptr<WordJob> next, HWND window) {
    if (thread || !next) {
        return false;
    }
    job = std::move(next);
    notify = window;
    thread = CreateThread(nullptr, 0, ThreadProc, this, 0, nullptr);
    if (!thread) {
        job.reset();
        return false;
    }
    return true;
}

std::unique_ptr<WordJob> WordMaker::Finish() {
    if (!thread) {
        return nullptr;
    }
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    thread = nullptr;
    return std::move(job);
}

DWORD WINAPI WordMaker::ThreadProc(LPVOID parameter) {
    WordMaker* maker = static_cast<WordMaker*>(parameter);
    RunWordJob(*maker->job);
    PostMessage(maker->notify, WM_WORD_DONE, 0, 0);
    return 0;
}
