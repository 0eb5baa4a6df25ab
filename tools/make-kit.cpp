// pulsor-make-kit WORDS.txt DIR: speaks up to sixteen words (one a line; blank lines and lines
// starting with # are skipped) in the pad's low and high voices into the kit folder DIR, with the
// words as its labels.txt. Play it with: pulsor --kit DIR
//
// The voices are the program's own (platform/sound/Voices.cpp), so a word made here is the word
// the program makes of the same text. Each file is written whole or not at all.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "platform/kernel/Files.h"
#include "platform/sound/Voices.h"
#include "platform/sound/WaveImage.h"

namespace {

constexpr size_t kMostWords = 16;
constexpr uint64_t kMostBytes = 64 * 1024;

int Fail(int status, const std::string& what) {
    std::fprintf(stderr, "pulsor-make-kit: %s\n", what.c_str());
    return status;
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(at, end - at);
        at = end + 1;
        const size_t first = line.find_first_not_of(" \t\r\v\f");
        if (first == std::string::npos || line[first] == '#') {
            continue;
        }
        line.erase(line.find_last_not_of(" \t\r\v\f") + 1);
        words.push_back(line.substr(first));
    }
    return words;
}

bool Write(const std::string& path, const std::vector<uint8_t>& bytes, std::string* reason) {
    if (platform::WriteWholeFile(path, bytes.data(), bytes.size(), reason)) {
        return true;
    }
    *reason = "cannot write " + path + ": " + *reason;
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        return Fail(2, "usage: pulsor-make-kit WORDS.txt DIR");
    }
    const std::string wordsFile = argv[1], folder = argv[2];
    std::string text;
    platform::ReadableFile failure;
    if (!platform::ReadWholeFile(wordsFile, kMostBytes, &text, &failure)) {
        return Fail(2, "cannot read " + wordsFile + ": " + failure.reason);
    }
    const std::vector<std::string> words = Words(text);
    if (words.empty()) {
        return Fail(2, wordsFile + " holds no words");
    }
    if (words.size() > kMostWords) {
        return Fail(2, wordsFile + " holds " + std::to_string(words.size()) +
                           " words; a kit has sixteen at most");
    }
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        return Fail(1, "cannot make the folder " + folder + ": " + error.message());
    }

    std::string labels;
    for (size_t n = 1; n <= words.size(); ++n) {
        const std::string& word = words[n - 1];
        for (const auto& [voice, prefix] : {std::pair{platform::voices::Voice::Low, "L"},
                                            std::pair{platform::voices::Voice::High, "H"}}) {
            std::vector<int16_t> samples;
            std::string reason;
            if (platform::voices::Speak(word, voice, &samples, &reason) !=
                platform::voices::Spoken::Made) {
                return Fail(1, "\"" + word + "\": " + reason);
            }
            const std::string path = folder + "/" + prefix + std::to_string(n) + ".wav";
            if (!Write(path, platform::sound::Pcm16Image(samples, platform::voices::kSpokenRate, 1),
                       &reason)) {
                return Fail(1, reason);
            }
        }
        labels += word + "\n";
    }
    std::string reason;
    if (!Write(folder + "/labels.txt", std::vector<uint8_t>(labels.begin(), labels.end()),
               &reason)) {
        return Fail(1, reason);
    }
    std::printf("pulsor-make-kit: %zu words in %s; play them with: pulsor --kit %s\n", words.size(),
                folder.c_str(), folder.c_str());
    return 0;
}
