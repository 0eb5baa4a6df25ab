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
    // Everything that presses the pad is a contact with an id of its own, one range per kind of
    // input so that they never meet.
    static constexpr UINT kPointerContact = 0;      // the pointer: the mouse, or the first finger
    static constexpr UINT kKeyContacts = 0x100;     // + the key's set-1 scancode (0..0xFF)
    static constexpr UINT kFingerContacts = 0x200;  // + the finger's TOUCHINPUT id (0..0xFF)
    static constexpr UINT kMidiContacts = 0x300;    // + the note (0..127)
    static constexpr UINT kAccessContact = 0x400;   // a scan's or a dwell's selection

    // Asked before any cell's word plays: false keeps that play silent (the cell is still held).
    class PlayGate {
    public:
        virtual bool MayPlay(int cell) = 0;

    protected:
        ~PlayGate() = default;
    };

    PadControl(HINSTANCE instance, HWND window, int id);

    void SetBackImage(HBITMAP image) { backImage = image; }
    void SetPressedImage(HBITMAP image) { pressedImage = image; }
    void SetSoundBank(SoundBank* bank) { soundBank = bank; }
    void SetHighVoice(int high) { highVoice = high; }
    // Null: every play goes ahead. Not owned.
    void SetPlayGate(PlayGate* gate) { playGate = gate; }
    // While selecting, a touch on a cell plays nothing: it picks the cell (GetSelectedCell) and
    // reports Clicked.
    void SetSelecting(int value) { selecting = value; }
    int IsSelecting() const { return selecting; }
    int GetSelectedCell() const { return selectedCell; }
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
    // The pointer's stroke; `state` tells whether the pad holds it.
    int OnTouchDown(HWND window, int reserved, int x, int y) override;
    int OnTouchUp(HWND window, int reserved, int x, int y) override;
    int OnTouchMove(HWND window, int reserved, int x, int y) override;

    // A stroke follows a point (the pointer, each finger): it plays the cell it lands on and each
    // cell it slides onto, at a tap's level, until it leaves the cells; once it leaves the pad
    // the pad lets it go. On the border the pad holds it but plays nothing.
    // StrokeDown returns 1 when the pad took the stroke, StrokeMove 1 while it held it, and
    // StrokeUp 1 when it held it and the lift is over the pad.
    int StrokeDown(UINT contact, int x, int y);
    int StrokeMove(UINT contact, int x, int y);
    int StrokeUp(UINT contact, int x, int y);
    // A press at a cell (a key, a MIDI note): `level` 0..127 scales the word it plays (127 is
    // the level a tap gives). Pressing a held contact again moves it to the new cell; the
    // pointer's contact and cells off the pad are ignored. Releasing an unknown contact does
    // nothing.
    void ContactDown(UINT contact, int cell, UINT level);
    void ContactUp(UINT contact);
    // The cell a contact holds, or -1.
    int GetContactCell(UINT contact) const;
    // True while any contact holds the cell.
    bool IsCellPressed(int cell) const;

    int GetPressedCell() const { return GetContactCell(kPointerContact); }
    const RECT& GetGridRect() const { return gridRect; }
    const RECT& GetFrameRect() const { return frameRect; }
    int GetCellWidth() const { return cellWidth; }
    int GetCellHeight() const { return cellHeight; }
    int GetHighVoice() const { return highVoice; }

protected:
    RECT gridRect;
    RECT frameRect;
    int cellWidth;
    int cellHeight;
    HBITMAP backImage;
    HBITMAP pressedImage;
    int insetX;
    int insetY;
    int highVoice;
    int selecting = 0;
    int selectedCell = -1;
    SoundBank* soundBank;
    PlayGate* playGate = nullptr;

    // The pointer, ten fingers, sixteen keys and sixteen notes at once.
    static constexpr int kMaxContacts = 48;
    struct Contact {
        bool held;
        UINT id;
        int cell;     // -1: held on no cell
        bool stroke;  // follows a point
    };
    Contact contacts[kMaxContacts];

private:
    bool InGrid(int x, int y) const;
    // The contact's slot, or a free one for it (null when all are taken).
    Contact* SlotFor(UINT contact);
    // The held stroke of that id, or null.
    Contact* StrokeOf(UINT contact);
    const Contact* Find(UINT contact) const;
    // Holds `cell` (or no cell, -1) with the slot and plays its word at `level`.
    void Hold(Contact* slot, UINT contact, int cell, bool stroke, UINT level);
    void PlayCell(int cell, UINT level);
    // Lets the contact go; true when it was held.
    bool Release(UINT contact);
};
