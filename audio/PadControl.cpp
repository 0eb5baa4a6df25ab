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
      pressedCell(-1),
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

int PadControl::OnTouchDown(HWND, int, int x, int y) {
    state = HitTest(x, y) ? 1 : 0;
    if (!state) {
        return 0;
    }
    if (InGrid(x, y)) {
        const int cell = CellAt(ToGridPoint(x, y));
        pressedCell = cell;
        // The word starts before the repaint is even requested.
        if (cell != -1 && soundBank != nullptr) {
            soundBank->Play(cell + 1, highVoice != 0);
        }
    }
    Invalidate();
    return 1;
}

int PadControl::OnTouchMove(HWND, int, int x, int y) {
    if (!state) {
        return 0;
    }
    state = HitTest(x, y) ? 1 : 0;
    if (InGrid(x, y)) {
        const int cell = CellAt(ToGridPoint(x, y));
        // A stroke that has left the cells (pressedCell -1) plays nothing until the next touch.
        if (cell != pressedCell && pressedCell != -1 && soundBank != nullptr) {
            pressedCell = cell;
            if (cell != -1) {
                soundBank->Play(cell + 1, highVoice != 0);
            }
        }
    } else {
        pressedCell = -1;
    }
    Invalidate();
    return 1;
}

int PadControl::OnTouchUp(HWND, int, int x, int y) {
    const bool mine = state && HitTest(x, y);
    state = 0;
    pressedCell = -1;
    Invalidate();
    return mine ? 1 : 0;
}

PadControl::Contact* PadControl::SlotFor(UINT contact) {
    Contact* slot = nullptr;
    for (Contact& c : contacts) {
        if (c.id == contact) {
            return &c;
        }
        if (c.id == 0 && slot == nullptr) {
            slot = &c;
        }
    }
    return slot;
}

void PadControl::ContactDown(UINT contact, int cell, UINT level) {
    if (contact == 0 || cell < 0 || cell >= kCells) {
        return;
    }
    Contact* slot = SlotFor(contact);
    if (slot == nullptr) {
        return;  // more held at once than anyone has fingers and keys for
    }
    slot->id = contact;
    slot->cell = cell;
    slot->finger = false;
    if (soundBank != nullptr) {
        soundBank->Play(cell + 1, highVoice != 0, level);
    }
    Invalidate();
}

int PadControl::FingerDown(UINT contact, int x, int y) {
    if (contact == 0 || !HitTest(x, y)) {
        return 0;
    }
    Contact* slot = SlotFor(contact);
    if (slot == nullptr) {
        return 0;
    }
    // On the border the pad holds the finger but plays nothing, as for the pointer.
    const int cell = InGrid(x, y) ? CellAt(ToGridPoint(x, y)) : -1;
    slot->id = contact;
    slot->cell = cell;
    slot->finger = true;
    if (cell != -1 && soundBank != nullptr) {
        soundBank->Play(cell + 1, highVoice != 0);
    }
    Invalidate();
    return 1;
}

void PadControl::FingerMove(UINT contact, int x, int y) {
    Contact* slot = nullptr;
    for (Contact& c : contacts) {
        if (contact != 0 && c.id == contact && c.finger) {
            slot = &c;
        }
    }
    // A stroke that has left the cells plays nothing until the finger is put down again.
    if (slot == nullptr || slot->cell == -1) {
        return;
    }
    if (!InGrid(x, y)) {
        slot->cell = -1;
        Invalidate();
        return;
    }
    const int cell = CellAt(ToGridPoint(x, y));
    if (cell != slot->cell && soundBank != nullptr) {
        slot->cell = cell;
        if (cell != -1) {
            soundBank->Play(cell + 1, highVoice != 0);
        }
        Invalidate();
    }
}

void PadControl::ContactUp(UINT contact) {
    if (contact == 0) {
        return;
    }
    for (Contact& c : contacts) {
        if (c.id == contact) {
            c.id = 0;
            c.cell = -1;
            c.finger = false;
            Invalidate();
            return;
        }
    }
}

int PadControl::GetContactCell(UINT contact) const {
    for (const Contact& c : contacts) {
        if (contact != 0 && c.id == contact) {
            return c.cell;
        }
    }
    return -1;
}

bool PadControl::IsCellPressed(int cell) const {
    if (cell < 0) {
        return false;
    }
    if (cell == pressedCell) {
        return true;
    }
    for (const Contact& c : contacts) {
        if (c.id != 0 && c.cell == cell) {
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
