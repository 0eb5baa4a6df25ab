// A word made for a kit as the word page's thread makes it: what lands in the kit folder, what
// is loaded, and what is refused with its name and the reason, leaving the old word.
#include "app/WordJob.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/kernel/WideString.h"
#include "support/ContentTestSupport.h"

using content_test::AssetFolder;
using content_test::TempFolder;
namespace fs = std::filesystem;

namespace {

void Sox(const fs::path& out, const std::string& effects) {
    const std::string cmd = "sox -n -r 44100 -c 1 -b 16 '" + out.string() + "' " + effects;
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
}

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<BYTE> Bytes(const fs::path& path) {
    const std::string s = Read(path);
    return std::vector<BYTE>(s.begin(), s.end());
}

TEST(WordJob, EachWayOfMakingAWordWritesBothVoicesLoadsThemAndRefusesWhatItCannotUse) {
    TempFolder kit("word-job");
    const fs::path dir = kit.Path();
    Sox(dir / "tone.wav", "synth 0.6 sine 440 pad 0.5 0.5");
    Sox(dir / "long.wav", "synth 25 sine 440");
    std::ofstream(dir / "notes.txt") << "words, not a sound\n";
    std::ofstream(dir / "L5.wav") << "an older file of the word";
    std::ofstream(dir / "H7.ogg") << "an older file of the word";

    struct Case {
        const char* what;
        WordJob::Kind kind;
        int word;
        std::string input;      // text to say, or a file in the folder
        std::string refusedAs;  // what the error names; empty when the word is made
    };
    const Case cases[] = {
        {"a typed word", WordJob::Speak, 5, "water", ""},
        {"a recording", WordJob::Record, 6, "tone.wav", ""},
        {"a dropped sound", WordJob::File, 7, "tone.wav", ""},
        {"a dropped text", WordJob::File, 8, "notes.txt", "notes.txt"},
        {"a dropped sound too long", WordJob::File, 9, "long.wav", "long.wav"},
        {"nothing to say", WordJob::Speak, 10, " ", "\" \""},
        {"the built-in word back", WordJob::BuiltIn, 5, "", ""},
    };
    for (const Case& c : cases) {
        WordJob job;
        job.kind = c.kind;
        job.word = c.word;
        job.kit = kit.WideFolder();
        job.builtIn = AssetFolder("Sounds");
        job.text = platform::FromUtf8(c.input);
        job.file = platform::FromUtf8((dir / c.input).string());
        if (c.kind == WordJob::Record) {
            job.sound = Bytes(dir / c.input);
        }
        job.labels.assign(16, L"");
        job.labels[c.word - 1] = L"Wörd";
        RunWordJob(job);

        const std::string n = std::to_string(c.word);
        const bool made = c.refusedAs.empty();
        EXPECT_EQ(platform::ToUtf8(job.error).find(c.refusedAs) != std::string::npos, true)
            << c.what << ": " << platform::ToUtf8(job.error);
        EXPECT_EQ(job.error.empty(), made) << c.what << ": " << platform::ToUtf8(job.error);
        const bool files = made && c.kind != WordJob::BuiltIn;
        EXPECT_EQ(fs::exists(dir / ("L" + n + ".flac")), files) << c.what;
        EXPECT_EQ(fs::exists(dir / ("H" + n + ".flac")), files) << c.what;
        ASSERT_NE(job.low, nullptr) << c.what;
        ASSERT_NE(job.high, nullptr) << c.what;
        // A kit's own word keeps its rate (the stream converts it); the built-in words are 22050.
        EXPECT_EQ(job.low->GetFormat().nSamplesPerSec == 22050u, !files || c.kind == WordJob::Speak)
            << c.what;
        if (made) {
            EXPECT_EQ(Read(dir / "labels.txt").substr(0, static_cast<size_t>(c.word - 1)),
                      std::string(static_cast<size_t>(c.word - 1), '\n'))
                << c.what;
        }
    }
    EXPECT_FALSE(fs::exists(dir / "L5.wav")) << "replaced by L5.flac, which the built-in then";
    EXPECT_FALSE(fs::exists(dir / "H7.ogg"));
    EXPECT_EQ(Read(dir / "labels.txt"), std::string(4, '\n') + "Wörd\n" + std::string(11, '\n'));
}

TEST(WordJob, AKitThatCannotBeWrittenIsNamedAndItsWordStays) {
    TempFolder kit("word-job-unwritable");
    const fs::path dir = kit.Path();
    Sox(dir / "L3.flac", "synth 0.3 sine 440");
    const std::string before = Read(dir / "L3.flac");
    std::ofstream(dir / "file") << "a file where a folder should be";
    struct Case {
        const char* what;
        fs::path folder;
        bool readOnly;
    };
    const Case cases[] = {
        {"a kit under a file", dir / "file" / "kit", false},
        {"a read-only kit", dir, true},
    };
    for (const Case& c : cases) {
        if (c.readOnly && geteuid() == 0) {
            continue;  // permissions do not hold the superuser back
        }
        if (c.readOnly) {
            fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
        }
        WordJob job;
        job.kind = WordJob::Speak;
        job.word = 3;
        job.kit = platform::FromUtf8(c.folder.string() + "/");
        job.builtIn = AssetFolder("Sounds");
        job.text = L"water";
        RunWordJob(job);
        fs::permissions(dir, fs::perms::owner_all);
        EXPECT_NE(platform::ToUtf8(job.error).find(c.folder.string()), std::string::npos)
            << c.what << ": " << platform::ToUtf8(job.error);
        EXPECT_EQ(Read(dir / "L3.flac"), before) << c.what;
    }
}

}  // namespace
