// Which cell a MIDI note plays, at what level, on which channel.
#include "app/MidiInput.h"

#include <gtest/gtest.h>

#include "audio/PadControl.h"

namespace {

TEST(MidiPad, NotesPlayTheCellsOfAFourByFourPadControllerFromTheBottomLeft) {
    struct Case {
        DWORD message, base, channel;
        bool decoded, down;
        int cell;
        UINT level;
    };
    const Case cases[] = {
        // The default base: 36 bottom left, rising to the right, then row by row upwards.
        {0x7F2490, 36, 0, true, true, 12, 127},
        {0x402790, 36, 0, true, true, 15, 64},
        {0x012890, 36, 0, true, true, 8, 1},
        {0x7F3090, 36, 0, true, true, 0, 127},
        {0x7F3390, 36, 0, true, true, 3, 127},
        // Note-off, and note-on with velocity 0, are the lift.
        {0x402480, 36, 0, true, false, 12, 0},
        {0x002490, 36, 0, true, false, 12, 0},
        // Outside the sixteen, or not a note: nothing.
        {0x7F2390, 36, 0, false, false, 0, 0},
        {0x7F3490, 36, 0, false, false, 0, 0},
        {0x7F24B0, 36, 0, false, false, 0, 0},
        {0x7F24A0, 36, 0, false, false, 0, 0},
        // Another base note.
        {0x7F0090, 0, 0, true, true, 12, 127},
        {0x7F7F90, 112, 0, true, true, 3, 127},
        {0x7F2490, 48, 0, false, false, 0, 0},
        // A channel of its own (1..16): the others are not heard, note-offs included.
        {0x7F2499, 36, 10, true, true, 12, 127},
        {0x002489, 36, 10, true, false, 12, 0},
        {0x7F2490, 36, 10, false, false, 0, 0},
        {0x7F249F, 36, 16, true, true, 12, 127},
        {0x7F249F, 36, 0, true, true, 12, 127},
    };
    for (const Case& c : cases) {
        MidiPadEvent e{};
        const bool decoded = DecodeMidiPadMessage(c.message, c.base, c.channel, &e);
        EXPECT_EQ(decoded, c.decoded) << std::hex << c.message << " base " << std::dec << c.base;
        if (decoded && c.decoded) {
            EXPECT_EQ(e.down, c.down) << std::hex << c.message;
            EXPECT_EQ(e.cell, c.cell) << std::hex << c.message;
            EXPECT_EQ(e.level, c.level) << std::hex << c.message;
            EXPECT_EQ(e.contact, PadControl::kMidiContacts + ((c.message >> 8) & 0x7F));
        }
    }
}

}  // namespace
