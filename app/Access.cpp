#include "app/Access.h"

#include <algorithm>
#include <cstdlib>

#include "app/AccessOverlay.h"
#include "app/Ids.h"
#include "app/MainPage.h"
#include "app/Page.h"
#include "app/UserInterface.h"
#include "audio/SoundBank.h"
#include "settings/Settings.h"
#include "touchui/Button.h"
#include "touchui/CheckBox.h"
#include "touchui/ScreenHost.h"
#include "touchui/ScrollPanel.h"
#include "touchui/Slider.h"

namespace {

const UINT kRingPeriodMs = 40;  // 25 steps a second: a smooth fill, and idle in between

// How far a resting pointer may wander (96-dpi units) before its dwell starts again.
int DwellSlop() {
    return ScaleX(4);
}

bool Usable(const Control* c) {
    return c && c->GetVisible() && c->GetEnabled() && c->interactive;
}

RECT CellRect(const PadControl* pad, int cell) {
    const RECT& grid = pad->GetGridRect();
    const int x = grid.left + (cell % 4) * pad->GetCellWidth();
    const int y = grid.top + (cell / 4) * pad->GetCellHeight();
    return RECT{x, y, x + pad->GetCellWidth(), y + pad->GetCellHeight()};
}

}  // namespace

Access::Access(UserInterface& ui_)
    : ui(ui_),
      settings(ui_.GetSettings()),
      window(ui_.GetWindow()),
      cues(std::make_unique<AccessCues>()),
      lastMethod(ui_.GetSettings().accessMethod) {
    if (MainPage* main = ui.GetMainPage()) {
        main->GetPad()->SetPlayGate(this);
    }
    SettingsChanged();
}

Access::~Access() {
    if (MainPage* main = ui.GetMainPage()) {
        main->GetPad()->SetPlayGate(nullptr);
    }
    KillTimer(window, IDT_SCAN);
    KillTimer(window, IDT_DWELL);
    KillTimer(window, IDT_DWELL_RING);
    KillTimer(window, IDT_HOLD);
}

DWORD Access::Method() const {
    return settings.accessMethod;
}

bool Access::ScanMethod() const {
    return Method() == AccessOneSwitch || Method() == AccessTwoSwitches;
}

void Access::FollowCueSettings() {
    if (cues) {
        cues->SetVolume(settings.accessCueVolume);
        // The words are copied only for whoever listens to them.
        if (ScanMethod() && settings.accessCues == AccessCuesWord) {
            cues->LoadWords(ui.GetSoundBank());
        }
    }
}

void Access::KitChanged() {
    if (cues) {
        cues->DropWords();
    }
    FollowCueSettings();
}

void Access::SettingsChanged() {
    FollowCueSettings();
    if (Method() != lastMethod) {
        StopScan();
        StopDwell();
        doneValid = false;
        lastMethod = Method();
    }
    if (settings.holdTime == 0) {
        CancelHold();
    }
}

bool Access::MayPlay(int cell) {
    if (cell < 0 || cell >= kCells) {
        return true;
    }
    const DWORD now = GetTickCount();
    if (played[cell] && now - lastPlay[cell] < settings.repeatLockout) {
        return false;
    }
    played[cell] = true;
    lastPlay[cell] = now;
    return true;
}

// --- Input ---------------------------------------------------------------------------------

bool Access::OnKey(UINT message, WPARAM virtualKey, LPARAM lParam) {
    if (!ScanMethod() ||
        (virtualKey != VK_SPACE && virtualKey != VK_RETURN && virtualKey != VK_TAB)) {
        return false;
    }
    const bool repeat = (static_cast<UINT>(lParam) & 0x40000000u) != 0;
    if (message == WM_KEYDOWN && !repeat && virtualKey != VK_TAB) {
        Switch(virtualKey == VK_SPACE ? 1 : 2);
    }
    return true;
}

bool Access::OnPointer(UINT message, WPARAM keys, int x, int y) {
    if (ScanMethod()) {
        // The whole window is the switch.
        if (message == WM_LBUTTONDOWN) {
            Switch(1);
        }
        return true;
    }
    if (message == WM_MOUSEMOVE && !(keys & MK_LBUTTON)) {
        Hover(x, y);
        return true;
    }
    if (message == WM_LBUTTONDOWN && dwelling) {
        StopDwell();
    }
    if (message == WM_LBUTTONDOWN && settings.holdTime > 0) {
        holdPending = true;
        holdPoint = POINT{x, y};
        SetTimer(window, IDT_HOLD, settings.holdTime, nullptr);
        return true;
    }
    if (!holdPending) {
        return false;
    }
    if (message == WM_MOUSEMOVE) {
        holdPoint = POINT{x, y};
    } else if (message == WM_LBUTTONUP) {
        CancelHold();  // too short: nothing happened
    }
    return true;
}

bool Access::OnMidiData(DWORD message) {
    const DWORD status = message & 0xF0;
    const DWORD note = (message >> 8) & 0x7F;
    const DWORD velocity = (message >> 16) & 0x7F;
    const DWORD channel = (message & 0x0F) + 1;
    if (!ScanMethod() || (status != 0x90 && status != 0x80) ||
        (settings.midiChannel != 0 && channel != settings.midiChannel)) {
        return false;
    }
    const DWORD base = settings.midiBaseNote;
    const int which = note + 1 == base ? 1 : note + 2 == base ? 2 : 0;
    if (which == 0) {
        return false;
    }
    if (status == 0x90 && velocity > 0) {
        Switch(which);
    }
    return true;
}

void Access::OnJoyButton(UINT message, WPARAM buttons) {
    // A press only: an up names its button the same way.
    if (!ScanMethod() || message != MM_JOY1BUTTONDOWN) {
        return;
    }
    if (buttons & JOY_BUTTON1CHG) {
        Switch(1);
    } else if (buttons & JOY_BUTTON2CHG) {
        Switch(2);
    }
}

bool Access::OnTimer(UINT_PTR id) {
    switch (id) {
        case IDT_SCAN:
            if (scanner.IsIdle() || scanPage != ui.GetShownPage()) {
                StopScan();
            } else if (scanner.Advance()) {
                Stepped();
            } else {
                StopScan();
            }
            return true;
        case IDT_DWELL: {
            const ScanTarget target = dwellTarget;
            StopDwell();
            doneTarget = target;
            doneValid = true;
            ui.TouchDown(pointer.x, pointer.y);
            ui.TouchUp(pointer.x, pointer.y);
            return true;
        }
        case IDT_DWELL_RING:
            InvalidateRect(window, nullptr, FALSE);
            return true;
        case IDT_HOLD:
            KillTimer(window, IDT_HOLD);
            if (holdPending) {
                holdPending = false;
                ui.TouchDown(holdPoint.x, holdPoint.y);
            }
            return true;
        default:
            return false;
    }
}

void Access::ReleaseKeys() {
    CancelHold();
}

void Access::CancelHold() {
    holdPending = false;
    KillTimer(window, IDT_HOLD);
}

// --- Scanning -------------------------------------------------------------------------------

void Access::Switch(int which) {
    if (!scanner.IsIdle() && scanPage != ui.GetShownPage()) {
        StopScan();
    }
    if (scanner.IsIdle()) {
        if (which == 1) {
            StartScan();
        }
        return;
    }
    const bool automatic = Method() == AccessOneSwitch;
    if (which == (automatic ? 1 : 2)) {
        ScanTarget chosen;
        switch (scanner.Select(&chosen)) {
            case Scanner::Selection::Opened:
                Stepped();
                if (automatic) {
                    SetTimer(window, IDT_SCAN, settings.scanInterval, nullptr);  // from now
                }
                break;
            case Scanner::Selection::Chosen:
                StopScan();
                Act(chosen);
                break;
            case Scanner::Selection::None:
                break;
        }
    } else if (!automatic && which == 1) {
        if (scanner.Advance()) {
            Stepped();
        } else {
            StopScan();
        }
    }
}

void Access::StartScan() {
    scanPage = ui.GetShownPage();
    scanner.Start(GroupsOf(scanPage), static_cast<int>(settings.scanRounds));
    if (scanner.IsIdle()) {
        return;
    }
    Stepped();
    if (Method() == AccessOneSwitch) {
        SetTimer(window, IDT_SCAN, settings.scanInterval, nullptr);
    }
}

void Access::StopScan() {
    KillTimer(window, IDT_SCAN);
    if (!scanner.IsIdle()) {
        scanner.Stop();
        InvalidateRect(window, nullptr, FALSE);
    }
}

void Access::Stepped() {
    const std::vector<ScanTarget> lit = scanner.Highlighted();
    for (const ScanTarget& target : lit) {
        if (auto* panel = dynamic_cast<ScrollPanel*>(target.control->GetParent())) {
            panel->EnsureVisible(target.control);
        }
    }
    // Every paint draws the whole page, so the whole window it is.
    InvalidateRect(window, nullptr, FALSE);
    if (!cues || settings.accessCues == AccessCuesNone) {
        return;
    }
    if (settings.accessCues == AccessCuesWord && lit.size() == 1 && lit[0].cell >= 0) {
        cues->Word(lit[0].cell);
    } else {
        cues->Click();
    }
}

void Access::Act(const ScanTarget& target) {
    Control* c = target.control;
    if (target.cell >= 0) {
        auto* pad = static_cast<PadControl*>(c);
        pad->ContactDown(PadControl::kAccessContact, target.cell, SoundBank::kFullLevel);
        pad->ContactUp(PadControl::kAccessContact);
    } else if (auto* button = dynamic_cast<Button*>(c)) {
        button->Click();
    } else if (auto* box = dynamic_cast<CheckBox*>(c)) {
        box->Toggle();
    } else if (auto* slider = dynamic_cast<Slider*>(c)) {
        slider->StepUp();
    } else {
        // Any other control: a tap at its middle.
        const int x = c->GetLeft() + c->GetWidth() / 2;
        const int y = c->GetTop() + c->GetHeight() / 2;
        ui.TouchDown(x, y);
        ui.TouchUp(x, y);
    }
}

std::vector<ScanGroup> Access::GroupsOf(Page* page) const {
    std::vector<ScanGroup> groups;
    if (!page) {
        return groups;
    }
    ScanGroup others;
    bool pad = false;
    for (Control* c : page->FocusOrder()) {
        if (!Usable(c)) {
            continue;
        }
        if (dynamic_cast<PadControl*>(c)) {
            pad = true;
            for (int row = 0; row < 4; ++row) {
                groups.push_back(
                    {{c, row * 4}, {c, row * 4 + 1}, {c, row * 4 + 2}, {c, row * 4 + 3}});
            }
        } else {
            others.push_back({c, -1});
        }
    }
    // Beside a pad the other controls are its last group; without one, each is a group.
    if (pad) {
        groups.push_back(others);
    } else {
        for (const ScanTarget& target : others) {
            groups.push_back({target});
        }
    }
    return groups;
}

std::vector<RECT> Access::HighlightRects() const {
    std::vector<RECT> rects;
    for (const ScanTarget& target : scanner.Highlighted()) {
        RECT r;
        if (target.cell >= 0) {
            r = CellRect(static_cast<const PadControl*>(target.control), target.cell);
        } else {
            target.control->GetRect(&r);
            // Within a scrolling panel, only what shows of it.
            if (const Control* parent = target.control->GetParent()) {
                RECT clip;
                parent->GetRect(&clip);
                if (!IntersectRect(&r, &r, &clip)) {
                    continue;
                }
            }
        }
        // A row of the pad is one frame.
        if (target.cell >= 0 && !rects.empty() && target.cell % 4 != 0) {
            UnionRect(&rects.back(), &rects.back(), &r);
        } else {
            rects.push_back(r);
        }
    }
    return rects;
}

// --- Dwell ----------------------------------------------------------------------------------

ScanTarget Access::TargetAt(int x, int y) const {
    Page* page = ui.GetShownPage();
    if (!page) {
        return {};
    }
    for (Control* c : page->FocusOrder()) {
        if (!Usable(c) || !c->HitTest(x, y)) {
            continue;
        }
        if (auto* pad = dynamic_cast<PadControl*>(c)) {
            const RECT& grid = pad->GetGridRect();
            const bool inGrid =
                x >= grid.left && x < grid.right && y >= grid.top && y < grid.bottom;
            return inGrid ? ScanTarget{pad, pad->CellAt(pad->ToGridPoint(x, y))} : ScanTarget{};
        }
        const Control* parent = c->GetParent();
        if (!parent || parent->HitTest(x, y)) {
            return {c, -1};
        }
    }
    return {};
}

void Access::Hover(int x, int y) {
    pointer = POINT{x, y};
    if (Method() != AccessDwell) {
        return;
    }
    const ScanTarget target = TargetAt(x, y);
    if (doneValid) {
        if (target == doneTarget) {
            return;
        }
        doneValid = false;
    }
    // A cell off the grid's cells (its last pixels) is no target either.
    if (!target.control || (dynamic_cast<PadControl*>(target.control) && target.cell < 0)) {
        StopDwell();
        return;
    }
    if (dwelling && target == dwellTarget && std::abs(x - dwellAnchor.x) <= DwellSlop() &&
        std::abs(y - dwellAnchor.y) <= DwellSlop()) {
        InvalidateRect(window, nullptr, FALSE);  // the ring follows the pointer
        return;
    }
    dwelling = true;
    dwellTarget = target;
    dwellAnchor = pointer;
    dwellStart = GetTickCount();
    SetTimer(window, IDT_DWELL, settings.dwellTime, nullptr);
    SetTimer(window, IDT_DWELL_RING, kRingPeriodMs, nullptr);
    InvalidateRect(window, nullptr, FALSE);
}

void Access::StopDwell() {
    KillTimer(window, IDT_DWELL);
    KillTimer(window, IDT_DWELL_RING);
    if (dwelling) {
        dwelling = false;
        InvalidateRect(window, nullptr, FALSE);
    }
}

// --- Drawing --------------------------------------------------------------------------------

void Access::Paint(HDC dc) {
    const ScreenHost* host = ui.GetHost();
    if (!host || (host->GetTransition() && host->GetTransition()->running)) {
        return;
    }
    if (!scanner.IsIdle() && scanPage == ui.GetShownPage()) {
        for (const RECT& r : HighlightRects()) {
            DrawHighlightFrame(dc, r, ScaleX(3));
        }
    }
    if (dwelling) {
        const double progress = static_cast<double>(GetTickCount() - dwellStart) /
                                std::max<DWORD>(settings.dwellTime, 1);
        DrawDwellRing(dc, pointer.x, pointer.y, ScaleX(16), ScaleX(5), std::min(progress, 1.0));
    }
}
