// The platform's file calls in a process of their own, for what a test cannot do to itself: run
// in a mount namespace with a small, read-only or other file system, or with a library hidden;
// limited in the size of its files; killed in the middle of a write.
//
//   files_probe trash PATH                 SHFileOperationW's delete into the trash
//   files_probe speak TEXT                 SndSpeakText in the low voice
//   files_probe encode IN.wav OUT.flac [MAX]
//                                          SndEncodeFile of the image in IN.wav, no file of the
//                                          process growing past MAX bytes when given
//   files_probe write-loop DIR             L1.flac, H1.flac and labels.txt in DIR, version 0 and
//                                          1 in turn, for ever ("ready" once each is there)
//
// Prints the call's last error and its words on two lines.
#include <signal.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/kernel/WideString.h"
#include "platform/sound/SoundVersions.h"
#include "platform/win32.h"

namespace {

int Report(bool done) {
    const DWORD code = done ? ERROR_SUCCESS : GetLastError();
    WCHAR words[512] = L"";
    if (!done) {
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                       words, 512, nullptr);
    }
    std::printf("%u\n%s\n", static_cast<unsigned>(code), platform::ToUtf8(words).c_str());
    return done ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "trash" && argc == 3) {
        std::wstring from = platform::FromUtf8(argv[2]);
        from.push_back(L'\0');  // the list's end
        SHFILEOPSTRUCTW op{};
        op.wFunc = FO_DELETE;
        op.pFrom = from.c_str();
        op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT;
        return Report(SHFileOperationW(&op) == 0);
    }
    if (command == "speak" && argc == 3) {
        DWORD size = 0;
        LPBYTE word =
            SndSpeakText(platform::FromUtf8(argv[2]).c_str(), SNDVOICE_LOW, &size, nullptr, 0);
        SndFreeImage(word);
        return Report(word != nullptr);
    }
    if (command == "encode" && (argc == 4 || argc == 5)) {
        std::ifstream in(argv[2], std::ios::binary);
        const std::vector<uint8_t> image((std::istreambuf_iterator<char>(in)), {});
        if (argc == 5) {
            // Past the limit a write fails with EFBIG instead of ending the process.
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit = {std::strtoul(argv[4], nullptr, 10), RLIM_INFINITY};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        const std::wstring out = platform::FromUtf8(argv[3]);
        return Report(
            SndEncodeFile(out.c_str(), image.data(), static_cast<DWORD>(image.size()), nullptr, 0));
    }
    if (command == "write-loop" && argc == 3) {
        const std::string dir = argv[2];
        const std::wstring words[] = {platform::FromUtf8(dir + "/L1.flac"),
                                      platform::FromUtf8(dir + "/H1.flac")};
        const std::wstring labels = platform::FromUtf8(dir + "/labels.txt");
        const std::vector<uint8_t> images[] = {versions::Word(0), versions::Word(1)};
        for (unsigned round = 0;; ++round) {
            const int v = static_cast<int>(round % 2);
            const std::string text = versions::Labels(v);
            for (const std::wstring& word : words) {
                if (!SndEncodeFile(word.c_str(), images[v].data(),
                                   static_cast<DWORD>(images[v].size()), nullptr, 0)) {
                    return Report(false);
                }
            }
            if (!SndWriteFile(labels.c_str(), reinterpret_cast<const BYTE*>(text.data()),
                              static_cast<DWORD>(text.size()), nullptr, 0)) {
                return Report(false);
            }
            if (round == 0) {
                std::printf("ready\n");
                std::fflush(stdout);
            }
        }
    }
    std::fprintf(stderr,
                 "usage: files_probe trash PATH | speak TEXT | encode IN OUT [MAX] | "
                 "write-loop DIR\n");
    return 2;
}
