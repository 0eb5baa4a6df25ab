#include "audio/PadControl.h"

#include "PadWords.h"
#include "audio/SoundBank.h"
#include "graphics/Drawing.h"

namespace {

const int kColumns = 4;
const int kRows = 4;
const int kCells = kColumns * kRows;
const COLORREF kKeyColour = RGB(255, 0, 255);

}  // namespace

const wchar_t* PadLabel(int cell) {
    return cell >= 0 && cell < kCells ? kPadWords[cell] : nullptr;
}

PadControl::PadControl(HINSTANCE instance, HWND window, int id)
    : Control(instance, window, id),
      gridRect{0, 0, 0, 0},
      frameRect{0, 0, 0, 0},
      cellWidth(0),
      cellHeight(0),
      backImage(nullptr),
      pressedImage(nullptr),
      insetX(0),
      insetY(0),
      highVoice(0),
      soundBank(nullptr),
      contacts{} {}

void PadControl::SetInset(int dx, int dy) {
    insetX = dx;
    insetY = dy;
    GetRect(&frameRect);
    gridRect = frameRect;
    InflateRect(&gridRect, dx, dy);
    cellWidth = (gridRect.right - gridRect.left) / kColumns;
    cellHeight = (gridRect.bottom - gridRect.top) / kRows;
}

int PadControl::CellAt(int gx, int gy) const {
    // An empty grid has no cells; a point left of or above the grid is in none either, though
    // division toward zero would put a point less than a cell away into column or row 0.
    if (cellWidth <= 0 || cellHeight <= 0 || gx < 0 || gy < 0) {
        return -1;
    }
    const int column = gx / cellWidth;
    const int row = gy / cellHeight;
    if (column >= kColumns || row >= kRows) {
        return -1;  // the strip the division leaves at the right and bottom belongs to no cell
    }
    return column + kColumns * row;
}

POINT PadControl::ToGridPoint(int x, int y) const {
    POINT point;
    point.x = insetX + x - left;
    point.y = insetY + y - top;
    return point;
}

bool PadControl::InGrid(int x, int y) const {
    POINT point;
    point.x = x;
    point.y = y;
    return PtInRect(&gridRect, point) != FALSE;
}

int PadControl::OnTouchDown(HWND target, int, int x, int y) {
    if (selecting) {
        const int cell = InGrid(x, y) ? CellAt(ToGridPoint(x, y)) : -1;
        if (cell >= 0) {
            selectedCell = cell;
            Notify(target, Clicked);
        }
        return cell >= 0 ? 1 : 0;
    }
    state = StrokeDown(kPointerContact, x, y);
    return state;
}

int PadControl::OnTouchMove(HWND, int, int x, int y) {
    if (selecting) {
        return 0;
    }
    const int held = StrokeMove(kPointerContact, x, y);
    state = StrokeOf(kPointerContact) != nullptr ? 1 : 0;
    return held;
}

int PadControl::OnTouchUp(HWND, int, int x, int y) {
    const int mine = StrokeUp(kPointerContact, x, y);
    state = 0;
    Invalidate();  // a lift resets the pad and repaints it, whoever it belongs to
    return mine;
}

PadControl::Contact* PadControl::SlotFor(UINT contact) {
    Contact* slot = nullptr;
    for (Contact& c : contacts) {
        if (c.held && c.id == contact) {
            return &c;
        }
        if (!c.held && slot == nullptr) {
            slot = &c;
        }
    }
    return slot;
}

const PadControl::Contact* PadControl::Find(UINT contact) const {
    for (const Contact& c : contacts) {
        if (c.held && c.id == contact) {
            return &c;
        }
    }
    return nullptr;
}

PadControl::Contact* PadControl::StrokeOf(UINT contact) {
    for (Contact& c : contacts) {
        if (c.held && c.id == contact) {
            return c.stroke ? &c : nullptr;
        }
    }
    return nullptr;
}

void PadControl::Hold(Contact* slot, UINT contact, int cell, bool stroke, UINT level) {
    slot->held = true;
    slot->id = contact;
    slot->cell = cell;
    slot->stroke = stroke;
    // The word starts before the repaint is even requested.
    if (cell != -1) {
        PlayCell(cell, level);
    }
    Invalidate();
}

void PadControl::PlayCell(int cell, UINT level) {
    if (soundBank != nullptr && (playGate == nullptr || playGate->MayPlay(cell))) {
        soundBank->Play(cell + 1, highVoice != 0, level);
    }
}

bool PadControl::Release(UINT contact) {
    for (Contact& c : contacts) {
        if (c.held && c.id == contact) {
            c = Contact{false, 0, -1, false};
            Invalidate();
            return true;
        }
    }
    return false;
}

int PadControl::StrokeDown(UINT contact, int x, int y) {
    if (!HitTest(x, y)) {
        Release(contact);
        return 0;
    }
    Contact* slot = SlotFor(contact);
    if (slot == nullptr) {
        return 0;  // more held at once than anyone has fingers and keys for
    }
    Hold(slot, contact, InGrid(x, y) ? CellAt(ToGridPoint(x, y)) : -1, true, SoundBank::kFullLevel);
    return 1;
}

int PadControl::StrokeMove(UINT contact, int x, int y) {
    Contact* slot = StrokeOf(contact);
    if (slot == nullptr) {
        return 0;
    }
    if (!HitTest(x, y)) {
        Release(contact);  // not followed back onto the pad
        return 1;
    }
    if (!InGrid(x, y)) {
        if (slot->cell != -1) {
            slot->cell = -1;
            Invalidate();
        }
        return 1;
    }
    const int cell = CellAt(ToGridPoint(x, y));
    // A stroke that has left the cells (-1) plays nothing until the next touch.
    if (cell != slot->cell && slot->cell != -1 && soundBank != nullptr) {
        slot->cell = cell;
        if (cell != -1) {
            PlayCell(cell, SoundBank::kFullLevel);
        }
        Invalidate();
    }
    return 1;
}

int PadControl::StrokeUp(UINT contact, int x, int y) {
    const bool held = Release(contact);
    return held && HitTest(x, y) ? 1 : 0;
}

void PadControl::ContactDown(UINT contact, int cell, UINT level) {
    if (contact == kPointerContact || cell < 0 || cell >= kCells) {
        return;
    }
    Contact* slot = SlotFor(contact);
    if (slot == nullptr) {
        return;
    }
    Hold(slot, contact, cell, false, level);
}

void PadControl::ContactUp(UINT contact) {
    if (contact != kPointerContact) {
        Release(contact);
    }
}

int PadControl::GetContactCell(UINT contact) const {
    const Contact* c = Find(contact);
    return c != nullptr ? c->cell : -1;
}

bool PadControl::IsCellPressed(int cell) const {
    if (cell < 0) {
        return false;
    }
    for (const Contact& c : contacts) {
        if (c.held && c.cell == cell) {
            return true;
        }
    }
    return false;
}

void PadControl::Paint(HDC dc) {
    if (backImage != nullptr) {
        DrawBitmapStretched(dc, frameRect.left, frameRect.top, frameRect.right, frameRect.bottom,
                            backImage);
    }
    for (int column = 0; column < kColumns; ++column) {
        for (int k = column; k < kCells; k += kColumns) {
            RECT cell;
            cell.left = gridRect.left + (k % kColumns) * cellWidth;
            cell.top = gridRect.top + (k / kColumns) * cellHeight;
            cell.right = cell.left + cellWidth;
            cell.bottom = cell.top + cellHeight;
            // A kit's own caption where it has one.
            const wchar_t* kitLabel = soundBank ? soundBank->GetLabel(k + 1) : nullptr;
            DrawCell(dc, cell, IsCellPressed(k), kitLabel ? kitLabel : PadLabel(k));
        }
    }
}

void PadControl::DrawCell(HDC dc, const RECT& cell, bool pressed, const wchar_t* label) {
    if (pressed && pressedImage != nullptr) {
        DrawBitmapKeyed(dc, cell.left, cell.top, cell.right, cell.bottom, pressedImage, kKeyColour);
    }
    RECT text = cell;
    DeflateRectBy(text, marginLeft, marginTop, marginRight, marginBottom);
    DrawTextInRect(dc, label, text, textFormat, pressed ? activeTextColor : textColor, font);
}
