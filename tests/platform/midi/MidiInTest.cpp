// midiIn* as the program uses it, with notes injected as the device's script injects them (no
// MIDI system is needed: where one is there, its port simply opens beside them).
#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "platform/device/Script.h"
#include "platform/midi/Midi.h"
#include "platform/win32.h"

namespace {

struct Received {
    std::mutex mutex;
    std::vector<UINT> messages;
    std::vector<DWORD_PTR> data;
};

void CALLBACK Record(HMIDIIN, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR) {
    auto* r = reinterpret_cast<Received*>(instance);
    std::lock_guard<std::mutex> lock(r->mutex);
    r->messages.push_back(message);
    if (message == MIM_DATA) {
        r->data.push_back(param1);
    }
}

HMIDIIN OpenRecording(Received* r) {
    HMIDIIN in = nullptr;
    EXPECT_EQ(midiInOpen(&in, 0, reinterpret_cast<DWORD_PTR>(Record),
                         reinterpret_cast<DWORD_PTR>(r), CALLBACK_FUNCTION),
              static_cast<MMRESULT>(MMSYSERR_NOERROR));
    return in;
}

TEST(MidiIn, OneDeviceWhoseNotesArriveOnlyWhileStarted) {
    EXPECT_EQ(midiInGetNumDevs(), 1u);
    Received r;
    HMIDIIN in = OpenRecording(&r);
    ASSERT_NE(in, nullptr);
    platform::midi::Inject(0x7F2490);  // before the start: not heard
    ASSERT_EQ(midiInStart(in), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    platform::midi::Inject(0x7F2490);
    platform::midi::Inject(0x002480);
    ASSERT_EQ(midiInStop(in), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    platform::midi::Inject(0x403090);  // after the stop: not heard
    ASSERT_EQ(midiInClose(in), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    EXPECT_EQ(r.messages, (std::vector<UINT>{MIM_OPEN, MIM_DATA, MIM_DATA, MIM_CLOSE}));
    EXPECT_EQ(r.data, (std::vector<DWORD_PTR>{0x7F2490, 0x002480}));
}

TEST(MidiIn, EveryStartedHandleHearsEachNote) {
    Received a, b;
    HMIDIIN first = OpenRecording(&a);
    HMIDIIN second = OpenRecording(&b);
    midiInStart(first);
    midiInStart(second);
    platform::midi::Inject(0x502A91);
    midiInClose(first);  // the other stays open and hearing
    platform::midi::Inject(0x502B91);
    midiInClose(second);
    EXPECT_EQ(a.data, (std::vector<DWORD_PTR>{0x502A91}));
    EXPECT_EQ(b.data, (std::vector<DWORD_PTR>{0x502A91, 0x502B91}));
}

TEST(MidiIn, RefusesWhatItCannotDo) {
    HMIDIIN in = reinterpret_cast<HMIDIIN>(1);
    EXPECT_EQ(midiInOpen(&in, 1, 0, 0, CALLBACK_NULL), static_cast<MMRESULT>(MMSYSERR_BADDEVICEID));
    EXPECT_EQ(in, nullptr);
    EXPECT_EQ(midiInOpen(&in, 0, 0, 0, CALLBACK_WINDOW), static_cast<MMRESULT>(MMSYSERR_INVALFLAG));
    EXPECT_EQ(midiInOpen(nullptr, 0, 0, 0, CALLBACK_NULL),
              static_cast<MMRESULT>(MMSYSERR_INVALPARAM));
    int notAHandle = 0;
    HMIDIIN bogus = reinterpret_cast<HMIDIIN>(&notAHandle);
    EXPECT_EQ(midiInStart(bogus), static_cast<MMRESULT>(MMSYSERR_INVALHANDLE));
    EXPECT_EQ(midiInStop(bogus), static_cast<MMRESULT>(MMSYSERR_INVALHANDLE));
    EXPECT_EQ(midiInClose(bogus), static_cast<MMRESULT>(MMSYSERR_INVALHANDLE));
    // Without a callback the input still opens, starts and closes.
    ASSERT_EQ(midiInOpen(&in, 0, 0, 0, CALLBACK_NULL), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    EXPECT_EQ(midiInStart(in), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    platform::midi::Inject(0x7F2490);
    EXPECT_EQ(midiInClose(in), static_cast<MMRESULT>(MMSYSERR_NOERROR));
}

TEST(MidiIn, OnlyWholeChannelMessagesArePacked) {
    struct Case {
        std::vector<unsigned char> bytes;
        DWORD packed;
    };
    const Case cases[] = {
        {{0x90, 36, 127}, 0x7F2490},
        {{0x8F, 51, 0}, 0x00338F},
        {{0xC3, 5}, 0x05C3},      // program change: one data byte
        {{0xD0, 9, 99}, 0x09D0},  // channel pressure ignores a byte too many
        {{0xB0, 7}, 0},           // cut short
        {{0x90, 0x80, 1}, 0},     // a data byte with its top bit set
        {{0xF8}, 0},              // clock: a system message
        {{0xF0, 1, 2, 0xF7}, 0},  // sysex
        {{0x24, 0x7F}, 0},        // running status: JACK and ALSA never give it
        {{}, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::midi::PackShortMessage(c.bytes.data(), c.bytes.size()), c.packed)
            << "first byte " << (c.bytes.empty() ? -1 : c.bytes[0]);
    }
}

TEST(MidiIn, TheScriptsMidiCommandTakesANoteAndAVelocity) {
    platform::Script script;
    std::string error;
    ASSERT_TRUE(
        platform::ParseScript("midi 36 127\nmidi 51 0\n", "s.txt", 480, 640, &script, &error))
        << error;
    ASSERT_EQ(script.size(), 2u);
    EXPECT_EQ(script[0].kind, platform::ScriptCommand::Midi);
    EXPECT_EQ(script[0].args[0], 36);
    EXPECT_EQ(script[0].args[1], 127);
    EXPECT_EQ(script[1].args[1], 0);
    for (const char* bad : {"midi 36\n", "midi 128 1\n", "midi 36 128\n", "midi -1 5\n"}) {
        EXPECT_FALSE(platform::ParseScript(bad, "s.txt", 480, 640, &script, &error)) << bad;
        EXPECT_EQ(error.rfind("s.txt:1: ", 0), 0u) << error;
    }
}

}  // namespace
