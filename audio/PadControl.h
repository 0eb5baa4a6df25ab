// The word pad: a 4 x 4 grid of word cells over a skin background. A finger on a cell plays that
// cell's word; sliding onto another cell plays that one too.
#pragma once

#include "platform/win32.h"
#include "touchui/Control.h"

class SoundBank;

// The label of cell 0..15 (the word it plays); null for any other index.
const wchar_t* PadLabel(int cell);

class PadControl : public Control {
public:
    PadControl(HINSTANCE instance, HWND window, int id);

    void SetBackImage(HBITMAP image) { backImage = image; }
    void SetPressedImage(HBITMAP image) { pressedImage = image; }
    void SetSoundBank(SoundBank* bank) { soundBank = bank; }
    void SetHighVoice(int high) { highVoice = high; }
    // Lays the grid out over the current bounds, `dx`/`dy` outside the frame (negative: inside).
    // Call after SetBounds; later moves do not lay it out again.
    void SetInset(int dx, int dy);

    // Cell under a point relative to the grid's top-left corner, or -1.
    int CellAt(int gx, int gy) const;
    int CellAt(POINT gridPoint) const { return CellAt(gridPoint.x, gridPoint.y); }
    // A client point relative to the grid's top-left corner.
    POINT ToGridPoint(int x, int y) const;
    void DrawCell(HDC dc, const RECT& cell, bool pressed, const wchar_t* label);

    void Paint(HDC dc) override;
    int OnTouchDown(HWND window, int reserved, int x, int y) override;
    int OnTouchUp(HWND window, int reserved, int x, int y) override;
    int OnTouchMove(HWND window, int reserved, int x, int y) override;

    // Presses that do not come through the pointer: a key, a MIDI note, a finger after the first.
    // Each contact (any id but 0, which is the pointer) holds one cell at a time; `level` 0..127
    // scales the word it plays (127 is the level a tap gives). Pressing a held contact again moves
    // it to the new cell; releasing an unknown contact does nothing.
    //
    // Contact ids, one range per kind of input so that they never meet:
    static constexpr UINT kKeyContacts = 0x100;     // + the key's set-1 scancode (0..0xFF)
    static constexpr UINT kFingerContacts = 0x200;  // + the finger's TOUCHINPUT id (0..0xFF)
    static constexpr UINT kMidiContacts = 0x300;    // + the note (0..127)
    void ContactDown(UINT contact, int cell, UINT level);
    void ContactUp(UINT contact);
    // A finger contact, followed as the pointer is: it plays the cell it lands on and each cell
    // it slides onto until it leaves the cells, and the word plays at a tap's level. FingerDown
    // returns 1 when the finger landed on the pad (which then holds it), else 0.
    int FingerDown(UINT contact, int x, int y);
    void FingerMove(UINT contact, int x, int y);
    void FingerUp(UINT contact) { ContactUp(contact); }
    // The cell a contact holds, or -1.
    int GetContactCell(UINT contact) const;
    // True while the pointer or any contact holds the cell.
    bool IsCellPressed(int cell) const;

    int GetPressedCell() const { return pressedCell; }
    const RECT& GetGridRect() const { return gridRect; }
    const RECT& GetFrameRect() const { return frameRect; }
    int GetCellWidth() const { return cellWidth; }
    int GetCellHeight() const { return cellHeight; }
    int GetHighVoice() const { return highVoice; }

protected:
    int pressedCell;
    RECT gridRect;
    RECT frameRect;
    int cellWidth;
    int cellHeight;
    HBITMAP backImage;
    HBITMAP pressedImage;
    int insetX;
    int insetY;
    int highVoice;
    SoundBank* soundBank;

    // Ten fingers, sixteen keys and sixteen notes at once.
    static constexpr int kMaxContacts = 48;
    struct Contact {
        UINT id;  // 0: a free slot
        int cell;
        bool finger;  // a stroke, held even while it is on no cell
    };
    Contact contacts[kMaxContacts];

private:
    bool InGrid(int x, int y) const;
    // The contact's slot, or a free one for it (null when all are taken).
    Contact* SlotFor(UINT contact);
};
