// The command line: each option stored where it belongs, the ones a second instance is started
// with, the errors said for what cannot be taken, and the usage text.
#include "platform/CommandLineOptions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Parses `args` (without the program's name); the error, or "" when it parsed.
std::string Parse(std::vector<std::string> args, platform::CommandLine* parsed) {
    args.insert(args.begin(), "pulsor");
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    std::string error;
    return platform::ParseCommandLine(static_cast<int>(argv.size()), argv.data(), parsed, &error)
               ? ""
               : error;
}

TEST(CommandLineOptions, EveryOptionIsStoredAndOnlyThePlainOnesAreRelaunched) {
    platform::CommandLine o;
    ASSERT_EQ(Parse({"--screen", "240x320",     "--dpi=96,120",   "--fullscreen", "--headless",
                     "--script", "s.txt",       "--shots=shots",  "--record",     "take.wav",
                     "--mic",    "voice.flac",  "--audio-buffer", "128",          "--config-dir",
                     "cfg",      "--real-time", "--taskbar=26",   "--kit",        "mine",
                     "--call",   "--verbose"},
                    &o),
              "");
    EXPECT_EQ(o.screenWidth, 240);
    EXPECT_EQ(o.screenHeight, 320);
    EXPECT_TRUE(o.screenGiven);
    EXPECT_EQ(o.dpiX, 96);
    EXPECT_EQ(o.dpiY, 120);
    EXPECT_TRUE(o.dpiGiven);
    EXPECT_TRUE(o.fullscreen && o.headless && o.realTime && o.call && o.verbose);
    EXPECT_FALSE(o.noAudio || o.help || o.version);
    EXPECT_EQ(o.scriptPath, "s.txt");
    EXPECT_EQ(o.shotsDir, "shots");
    EXPECT_EQ(o.recordPath, "take.wav");
    EXPECT_EQ(o.micPath, "voice.flac");
    EXPECT_EQ(o.audioBufferFrames, 128);
    EXPECT_EQ(o.configDir, "cfg");
    EXPECT_EQ(o.taskBarHeight, 26);
    EXPECT_EQ(o.kit, "mine");
    // A second start (`launch`) has no script, shots, take or kit of its own.
    EXPECT_EQ(o.relaunchArguments, (std::vector<std::string>{
                                       "--screen", "240x320", "--dpi=96,120", "--fullscreen",
                                       "--headless", "--audio-buffer", "128", "--config-dir", "cfg",
                                       "--real-time", "--taskbar=26", "--call", "--verbose"}));

    platform::CommandLine same;
    ASSERT_EQ(Parse({"--dpi", "144", "--help", "--version"}, &same), "");
    EXPECT_EQ(same.dpiX, 144);
    EXPECT_EQ(same.dpiY, 144);
    EXPECT_TRUE(same.help && same.version);
    EXPECT_FALSE(same.screenGiven);
    EXPECT_EQ(same.screenWidth, 480);  // the defaults stay
}

TEST(CommandLineOptions, WhatCannotBeTakenIsSaidInOneLine) {
    struct Case {
        std::vector<std::string> args;
        const char* error;
    };
    const Case cases[] = {
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"script.txt"}, "unknown option 'script.txt'"},
        {{"--headless=yes"}, "--headless takes no value"},
        {{"--script"}, "--script needs a value"},
        {{"--kit="}, "--kit needs a value"},
        {{"--screen", "0x10"}, "--screen wants WIDTHxHEIGHT in pixels, not '0x10'"},
        {{"--screen", "640"}, "--screen wants WIDTHxHEIGHT in pixels, not '640'"},
        {{"--screen=4097x640"}, "--screen is at most 4096 pixels on a side, not '4097x640'"},
        {{"--dpi", "96,"}, "--dpi wants N or X,Y, not '96,'"},
        {{"--dpi", "10001"}, "--dpi wants N or X,Y, not '10001'"},
        {{"--audio-buffer", "15"},
         "--audio-buffer wants a number of frames from 16 to 65536, not '15'"},
        {{"--taskbar", "-1"}, "--taskbar wants a height in pixels, not '-1'"},
        {{"--screen", "100x100", "--taskbar", "101"}, "--taskbar is taller than the screen"},
        {{"--record", "t.wav", "--no-audio"}, "--record has nothing to record with --no-audio"},
        {{"--call", "--no-audio"}, "--call has nothing to send with --no-audio"},
        {{"--call", "--headless"}, "--call needs the wall clock: add --real-time to --headless"},
        // The first option that cannot be taken is the one said.
        {{"--dpi", "0", "--bogus"}, "--dpi wants N or X,Y, not '0'"},
    };
    for (const Case& c : cases) {
        platform::CommandLine parsed;
        EXPECT_EQ(Parse(c.args, &parsed), c.error) << c.args[0];
    }
}

TEST(CommandLineOptions, TheUsageListsEveryOptionInColumns) {
    EXPECT_EQ(
        platform::UsageText(),
        "usage: pulsor [--screen WxH] [--dpi N|X,Y] [--fullscreen] [--headless] [--script FILE]\n"
        "              [--shots DIR] [--record FILE.wav] [--mic FILE] [--audio-buffer FRAMES]\n"
        "              [--no-audio] [--config-dir DIR] [--real-time] [--taskbar PX]\n"
        "              [--kit DIR|NAME] [--call] [--verbose] [--help] [--version]\n"
        "\n"
        "  --screen WxH          size of the emulated screen in pixels (default 480x640,\n"
        "                        at most 4096 on a side)\n"
        "  --dpi N|X,Y           its dots per inch (default 192)\n"
        "  --fullscreen          the whole display, showing a handheld screen fitted to it\n"
        "  --headless            an in-memory screen, no window; runs in virtual time\n"
        "  --script FILE         drive the finger from FILE; when it ends the window closes\n"
        "  --shots DIR           where the script's `shot NAME.png` pictures go\n"
        "  --record FILE.wav     write what the mixer plays (completed when the program ends)\n"
        "  --mic FILE            the microphone is this sound file (any libsndfile reads), played\n"
        "                        from its start whenever recording starts, then silence\n"
        "  --audio-buffer FRAMES audio period in frames (default 256)\n"
        "  --no-audio            no audio output\n"
        "  --config-dir DIR      keep the registry file in DIR\n"
        "  --real-time           headless on the wall clock instead of virtual time\n"
        "  --taskbar PX          headless: height of the emulated task bar (default 0)\n"
        "  --kit DIR|NAME        play the words of a kit folder (a NAME is looked up in\n"
        "                        $XDG_DATA_HOME/pulsor/kits/), kept for the next runs;\n"
        "                        --kit default goes back to the built-in words\n"
        "  --call                for this run, be the \"Pulsor microphone\" that call apps can "
        "pick\n"
        "                        (the mix and your microphone; the stored setting is kept)\n"
        "  --verbose             say on stderr which MIDI systems (ALSA sequencer, JACK) the\n"
        "                        \"Pulsor\" input port opened on and what it connected\n"
        "\n"
        "Headless without --script in virtual time closes the window as soon as the program has\n"
        "settled (nothing would ever happen); with --real-time it runs until closed or killed.\n");
}

}  // namespace
