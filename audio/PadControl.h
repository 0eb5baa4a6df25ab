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
    void ContactDown(UINT contact, int cell, UINT level);
    void ContactUp(UINT contact);
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

    static constexpr int kMaxContacts = 32;
    struct Contact {
        UINT id;  // 0: a free slot
        int cell;
    };
    Contact contacts[kMaxContacts];

private:
    bool InGrid(int x, int y) const;
};
