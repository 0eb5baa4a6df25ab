// A kit folder into the sound bank: its words where it has them and they decode, the built-in
// ones everywhere else, its captions where they are usable.
#include "audio/KitLoader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "audio/SoundBank.h"
#include "audio/WavePlayer.h"
#include "support/ContentTestSupport.h"

using content_test::AssetFolder;
using content_test::TempFolder;

namespace {

void Sox(const std::filesystem::path& out, const std::string& before, const std::string& after) {
    const std::string cmd = "sox -n " + before + " '" + out.string() + "' " + after;
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
}

void Write(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST(KitLoader, TheKitsWordsAndBeatPlayAndTheBuiltInOnesFillTheRest) {
    TempFolder kit("kit-words");
    Sox(kit.Path() / "L1.flac", "-r 44100", "synth 0.3 sine 440");
    Sox(kit.Path() / "H16.ogg", "-r 48000 -c 2", "synth 0.3 sine 440");
    Sox(kit.Path() / "Pulsor.flac", "-r 32000", "synth 0.5 sine 100");
    Write(kit.Path() / "L2.flac", std::string(3000, 'x'));  // damaged
    SoundBank bank;
    KitLoader loader(kit.WideFolder().c_str(), AssetFolder("Sounds").c_str());
    testing::internal::CaptureStderr();
    loader.LoadWords(&bank);
    std::unique_ptr<WavePlayer> beat(loader.CreateBeat());
    const std::string errors = testing::internal::GetCapturedStderr();

    struct Case {
        int word;
        bool high;
        DWORD rate;  // the kit's own rate, or 22050 for a built-in word
        WORD channels;
    };
    for (const Case& c :
         {Case{1, false, 44100, 1}, Case{16, true, 48000, 2}, Case{2, false, 22050, 1},
          Case{1, true, 22050, 1}, Case{16, false, 22050, 1}}) {
        const WavePlayer* p = bank.GetSample(c.word, c.high);
        ASSERT_NE(p, nullptr) << c.word;
        EXPECT_EQ(p->GetFormat().nSamplesPerSec, c.rate) << c.word << " " << c.high;
        EXPECT_EQ(p->GetFormat().nChannels, c.channels) << c.word << " " << c.high;
        EXPECT_EQ(p->GetFormat().wFormatTag,
                  c.rate == 22050 ? WAVE_FORMAT_PCM : WAVE_FORMAT_IEEE_FLOAT);
    }
    ASSERT_NE(beat, nullptr);
    EXPECT_EQ(beat->GetFormat().nSamplesPerSec, 32000u);
    // The damaged file is named once, with its reason; missing words are no news.
    EXPECT_NE(errors.find((kit.Path() / "L2.flac").string() + ": does not decode"),
              std::string::npos)
        << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
}

TEST(KitLoader, AKitWithoutWordsSaysSoAndTheBuiltInWordsPlay) {
    TempFolder kit("kit-empty");
    SoundBank bank;
    testing::internal::CaptureStderr();
    KitLoader(kit.WideFolder().c_str(), AssetFolder("Sounds").c_str()).LoadWords(&bank);
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("holds no words"), std::string::npos) << errors;
    ASSERT_NE(bank.GetSample(7, true), nullptr);
    EXPECT_EQ(bank.GetSample(7, true)->GetFormat().nSamplesPerSec, 22050u);
}

TEST(KitLoader, CaptionsTakeWhatTheyCanAndLeaveThePadsOwnForTheRest) {
    const std::string longLine(60, 'x');
    struct Case {
        const char* what;
        std::string file;
        std::vector<const wchar_t*> labels;  // words 1.. in order; null: the pad's own
    };
    const Case cases[] = {
        {"fewer lines", "One\nTwo\n", {L"One", L"Two", nullptr}},
        {"CRLF and a BOM", "\xEF\xBB\xBFHi\r\nYo\r\n", {L"Hi", L"Yo", nullptr}},
        {"UTF-8", "B\xC3\xA9ta\n\xE4\xBD\xA0\xE5\xA5\xBD\n", {L"B\u00e9ta", L"\u4f60\u597d"}},
        {"a blank, a long and a broken line",
         "A\n\n" + longLine + "\nbad\xFF\nE",
         {L"A", nullptr, nullptr, nullptr, L"E"}},
        {"more than sixteen",
         [] {
             std::string s;
             for (int i = 1; i <= 20; ++i) {
                 s += "w" + std::to_string(i) + "\n";
             }
             return s;
         }(),
         {L"w1", L"w2", L"w3", L"w4", L"w5", L"w6", L"w7", L"w8", L"w9", L"w10", L"w11", L"w12",
          L"w13", L"w14", L"w15", L"w16"}},
        {"far too large", std::string(100000, 'z'), {nullptr, nullptr}},
    };
    for (const Case& c : cases) {
        TempFolder kit("kit-labels");
        Write(kit.Path() / "labels.txt", c.file);
        SoundBank bank;
        testing::internal::CaptureStderr();
        KitLoader(kit.WideFolder().c_str(), AssetFolder("Sounds").c_str()).LoadLabels(&bank);
        testing::internal::GetCapturedStderr();
        for (size_t i = 0; i < c.labels.size(); ++i) {
            const wchar_t* got = bank.GetLabel(static_cast<int>(i) + 1);
            if (c.labels[i]) {
                ASSERT_NE(got, nullptr) << c.what << ", word " << i + 1;
                EXPECT_EQ(std::wstring(got), c.labels[i]) << c.what << ", word " << i + 1;
            } else {
                EXPECT_EQ(got, nullptr) << c.what << ", word " << i + 1;
            }
        }
    }
}

TEST(KitLoader, TheLoudnessAimedAtIsTheBuiltInWordsMedian) {
    std::vector<float> measured;
    const std::wstring folder = AssetFolder("Sounds");
    for (const wchar_t* voice : {L"L", L"H"}) {
        for (int word = 1; word <= 16; ++word) {
            const std::wstring path = folder + voice + std::to_wstring(word) + L".wav";
            SNDDECODE d{};
            d.targetLufs = SND_KEEP_LOUDNESS;
            d.maxSeconds = KitLoader::kMaxSeconds;
            d.maxChannels = KitLoader::kMaxChannels;
            DWORD size = 0;
            LPBYTE image = SndDecodeFile(path.c_str(), &d, &size);
            ASSERT_NE(image, nullptr);
            SndFreeImage(image);
            measured.push_back(d.loudnessLufs);
        }
    }
    std::sort(measured.begin(), measured.end());
    EXPECT_NEAR((measured[15] + measured[16]) / 2, KitLoader::kBuiltInLoudness, 0.5);
}

}  // namespace
