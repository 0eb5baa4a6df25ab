#include "app/UserInterface.h"

#include <cstdio>

#include "app/AboutPage.h"
#include "app/Access.h"
#include "app/AccessPage.h"
#include "app/BackBuffer.h"
#include "app/Beat.h"
#include "app/CallOutput.h"
#include "app/Ids.h"
#include "app/KitSwitch.h"
#include "app/Kits.h"
#include "app/KitsPage.h"
#include "app/MainPage.h"
#include "app/MidiInput.h"
#include "app/SettingsPage.h"
#include "app/WordPage.h"
#include "audio/KitLoader.h"
#include "audio/PadControl.h"
#include "audio/SoundBank.h"
#include "audio/WavePlayer.h"
#include "settings/Settings.h"
#include "skin/Skin.h"
#include "touchui/ImageBox.h"
#include "touchui/Screen.h"
#include "touchui/ScreenHost.h"

namespace {

const UINT kTransitionPeriodMs = 11;
const int kTransitionMs = 300;
const int kTransitionBack = 10;  // as a page's way back

}  // namespace

UserInterface::UserInterface(HINSTANCE instance_, HWND window_, const App* app_,
                             const BackBuffer* backBuffer_)
    : instance(instance_), window(window_), app(app_), backBuffer(backBuffer_) {
    vibration.SetWindow(window);
    kits = std::make_unique<Kits>(*this);
}

UserInterface::~UserInterface() {
    // What acts on the pages first, then the host, as before the pages it shows.
    access.reset();
    host.reset();
    pages.clear();
}

void UserInterface::LoadSettings() {
    settings = std::make_unique<Settings>();
    settings->Load();
    callOutput = std::make_unique<CallOutput>(*settings);
    callOutput->Start();
}

void UserInterface::LoadSkin() {
    skin = std::make_unique<Skin>();
    skin->Load(settings->skinFolder, settings->skinFile);
}

void UserInterface::LoadSounds() {
    // The user's kit, where one is chosen, with the built-in sounds for whatever it lacks.
    KitSwitch::Sounds sounds = KitSwitch::Load(settings->kitFolder, settings->soundsFolder);
    soundBank = std::move(sounds.bank);
    beat = std::make_unique<Beat>(window, std::move(sounds.beat));
    beat->SetVolume(settings->volumeBeat);
    soundBank->SetVolume(settings->volumeSounds);
    kitSwitch = std::make_unique<KitSwitch>(window, IDC_KIT_LOADED, settings->soundsFolder);
}

void UserInterface::ChooseKit(LPCWSTR kitFolder) {
    KeepKitFolder(kitFolder);
    if (!kitSwitch || !kitSwitch->Start(kitFolder)) {
        std::fprintf(stderr, "pulsor: kit: cannot start loading %ls\n", kitFolder);
    }
}

void UserInterface::KeepKitFolder(LPCWSTR kitFolder) {
    if (FAILED(StringCchCopy(settings->kitFolder, MAX_PATH, kitFolder))) {
        settings->kitFolder[0] = L'\0';
    }
    if (!settings->SaveKit()) {
        std::fprintf(stderr, "pulsor: kit: cannot keep the choice of %ls in the settings\n",
                     settings->kitFolder[0] ? settings->kitFolder : L"the built-in words");
    }
}

LPCWSTR UserInterface::GetKitFolder() const {
    return settings->kitFolder;
}

void UserInterface::SwapInKit(LPARAM load) {
    WCHAR folder[MAX_PATH];
    KitSwitch::Sounds sounds = kitSwitch->Finish(load, folder);
    if (!sounds.bank) {
        return;
    }
    // The running volumes, which the settings get only when the window closes.
    sounds.bank->SetVolume(soundBank->GetVolume());
    std::unique_ptr<SoundBank> old = std::move(soundBank);
    soundBank = std::move(sounds.bank);
    if (mainPage) {
        mainPage->GetPad()->SetSoundBank(soundBank.get());
        mainPage->GetPad()->Invalidate();  // its captions
    }
    if (access) {
        access->KitChanged();
    }
    kitSwitch->Retire(std::move(old), IDT_KIT_SWEEP);
    beat->SetPlayer(std::move(sounds.beat));
    if (wordPage) {
        wordPage->OnKitSwapped(folder);
    }
}

void UserInterface::BuildPages() {
    const int S = GetSystemMetrics(SM_CXSCREEN);
    const int H = GetSystemMetrics(SM_CYSCREEN);
    host = std::make_unique<ScreenHost>(instance, window, IDC_HOST, IDT_TRANSITION,
                                        kTransitionPeriodMs);
    host->SetBounds(0, 0, S, H);
    host->CreateSurfaces();

    topBar = std::make_unique<ImageBox>(instance, window, IDC_TOP_BAR);
    Page::Place(topBar.get(), 0, 0, 240, 54);
    Page::SetPicture(topBar.get(), skin->GetImage(PicTopBar));
    bottomBar = std::make_unique<ImageBox>(instance, window, IDC_BOTTOM_BAR);
    Page::Place(bottomBar.get(), 0, H - ScaleY(54), 240, 54);
    Page::SetPicture(bottomBar.get(), skin->GetImage(PicBotBar));

    mainPage = AddPage<MainPage>();
    AddPage<AboutPage>();
    settingsPage = AddPage<SettingsPage>();
    AddPage<KitsPage>();
    wordPage = AddPage<WordPage>();
    AddPage<AccessPage>();
    access = std::make_unique<Access>(*this);
}

template <class T>
T* UserInterface::AddPage() {
    auto page = std::make_unique<T>(*this);
    T* added = page.get();
    host->AddScreen(page->GetScreen());  // hidden until shown
    pages.push_back(std::move(page));
    return added;
}

void UserInterface::ShowPage(int screenId) {
    OnShow(screenId);
    host->ShowScreen(screenId);
}

void UserInterface::OnShow(int screenId) {
    for (const std::unique_ptr<Page>& page : pages) {
        if (page->GetId() == screenId) {
            page->OnShow();
        }
    }
}

void UserInterface::ChangePage(int screenId, int transitionKind) {
    OnShow(screenId);
    if (AnimationsOn()) {
        host->ShowScreenAnimated(screenId, transitionKind, kTransitionMs,
                                 backBuffer ? backBuffer->GetDC() : nullptr);
    } else {
        host->ShowScreen(screenId);
    }
}

void UserInterface::EditWords() {
    mainPage->SetEditing(true);
    if (!mainPage->IsShown()) {
        ChangePage(IDC_SCREEN_MAIN, Page::kTransitionBack);
    }
}

void UserInterface::OpenWordPage(int cell) {
    if (cell < 0 || cell >= SoundBank::kWords) {
        return;
    }
    wordPage->Open(cell);
    ChangePage(IDC_SCREEN_WORD, Page::kTransitionToPage);
}

bool UserInterface::WritableKit(std::wstring* folder, std::wstring* why) {
    *folder = kits->MakeWritable(why);
    return !folder->empty();
}

Page* UserInterface::GetShownPage() const {
    for (const std::unique_ptr<Page>& page : pages) {
        if (page->IsShown()) {
            return page.get();
        }
    }
    return nullptr;
}

bool UserInterface::CloseButtonCloses() const {
    return settingsPage->CloseButtonCloses();
}

bool UserInterface::AnimationsOn() const {
    return settingsPage->AnimationsOn();
}

bool UserInterface::VibrationsOn() const {
    return settingsPage->VibrationsOn();
}

void UserInterface::Paint(HDC dc) {
    host->PaintIfVisible(dc);
    if (access) {
        access->Paint(dc);
    }
}

void UserInterface::Felt(int taken) {
    // The running state is the switch's, not the saved setting's.
    if (taken && VibrationsOn()) {
        vibration.Pulse(Vibration::kTouchPulseMs);
    }
}

void UserInterface::TouchDown(int x, int y) {
    Felt(host->TouchDown(window, 0, x, y));
}

void UserInterface::TouchUp(int x, int y) {
    host->TouchUp(window, 0, x, y);
}

void UserInterface::TouchMove(int x, int y) {
    host->TouchMove(window, 0, x, y);
}

void UserInterface::OnPointer(UINT message, WPARAM keys, int x, int y) {
    if (access && access->OnPointer(message, keys, x, y)) {
        return;
    }
    if (message == WM_LBUTTONDOWN) {
        TouchDown(x, y);
    } else if (message == WM_LBUTTONUP) {
        TouchUp(x, y);
    } else if (keys & MK_LBUTTON) {
        TouchMove(x, y);
    }
}

void UserInterface::OnTimer(UINT_PTR id) {
    if (access) {
        access->OnTimer(id);
    }
}

void UserInterface::OnFingers(const TOUCHINPUT* inputs, UINT count, const RECT& windowRect) {
    for (UINT i = 0; i < count; ++i) {
        const TOUCHINPUT& in = inputs[i];
        // The primary finger is the pointer too; taking it here as well would play twice.
        if ((in.dwFlags & TOUCHEVENTF_PRIMARY) || in.dwID > 0xFF) {
            continue;
        }
        const UINT contact = PadControl::kFingerContacts + in.dwID;
        const int x = TOUCH_COORD_TO_PIXEL(in.x) - windowRect.left;
        const int y = TOUCH_COORD_TO_PIXEL(in.y) - windowRect.top;
        if (in.dwFlags & TOUCHEVENTF_UP) {
            for (const std::unique_ptr<Page>& page : pages) {
                page->OnFingerUp(contact, x, y);
            }
        } else if (in.dwFlags & TOUCHEVENTF_DOWN) {
            if (Page* shown = GetShownPage()) {
                Felt(shown->OnFingerDown(contact, x, y));
            }
        } else if (in.dwFlags & TOUCHEVENTF_MOVE) {
            for (const std::unique_ptr<Page>& page : pages) {
                page->OnFingerMove(contact, x, y);
            }
        }
    }
}

void UserInterface::OnKey(UINT message, WPARAM virtualKey, LPARAM lParam) {
    if (access && access->OnKey(message, virtualKey, lParam)) {
        return;
    }
    const UINT scancode = (static_cast<UINT>(lParam) >> 16) & 0x1FF;
    if (virtualKey == VK_CONTROL) {
        controlDown = message == WM_KEYDOWN;
    }
    if (message == WM_KEYUP) {
        for (const std::unique_ptr<Page>& page : pages) {
            page->OnKeyUp(scancode);
        }
        return;
    }
    // A held key repeats; only its first down counts.
    if (static_cast<UINT>(lParam) & 0x40000000u) {
        return;
    }
    if (Page* shown = GetShownPage()) {
        shown->OnKeyDown(static_cast<UINT>(virtualKey), scancode);
    }
}

void UserInterface::OnChar(WPARAM character) {
    if (Page* shown = GetShownPage()) {
        shown->OnChar(static_cast<UINT>(character));
    }
}

void UserInterface::OnDropFiles(HDROP drop) {
    WCHAR path[MAX_PATH];
    POINT point = {0, 0};
    const bool one = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) >= 1 &&
                     DragQueryFileW(drop, 0, path, MAX_PATH) > 0 && DragQueryPoint(drop, &point);
    DragFinish(drop);
    if (!one) {
        return;
    }
    // On the word page the file is the shown word's; on the pad, the cell's under it.
    if (wordPage->IsShown()) {
        wordPage->TakeFile(wordPage->GetCell(), path);
        return;
    }
    PadControl* pad = mainPage->GetPad();
    const int cell = mainPage->IsShown() && pad->HitTest(point.x, point.y)
                         ? pad->CellAt(pad->ToGridPoint(point.x, point.y))
                         : -1;
    if (cell >= 0) {
        wordPage->TakeFile(cell, path);
    }
}

void UserInterface::OnWordDone() {
    wordPage->OnWordDone();
}

void UserInterface::OnRecorded(HWAVEIN device, WAVEHDR* header) {
    wordPage->OnRecorded(device, header);
}

void UserInterface::ReleaseKeys() {
    controlDown = false;
    if (access) {
        access->ReleaseKeys();
    }
    for (const std::unique_ptr<Page>& page : pages) {
        page->ReleaseKeys();
    }
}

void UserInterface::OnMidiData(DWORD message) {
    if (access && access->OnMidiData(message)) {
        return;
    }
    MidiPadEvent event;
    if (!DecodeMidiPadMessage(message, settings->midiBaseNote, settings->midiChannel, &event)) {
        return;
    }
    // Not a touch of the device: no vibration.
    PadControl* pad = mainPage->GetPad();
    if (event.down) {
        pad->ContactDown(event.contact, event.cell, event.level);
    } else {
        pad->ContactUp(event.contact);
    }
}

void UserInterface::OnJoyButton(UINT message, WPARAM buttons) {
    if (access) {
        access->OnJoyButton(message, buttons);
    }
}

void UserInterface::OnCommand(WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    if (beat && beat->OnCommand(id, code, lParam)) {
        return;
    }
    if (id == IDC_KIT_LOADED) {
        SwapInKit(lParam);
        return;
    }
    for (const std::unique_ptr<Page>& page : pages) {
        if (page->OnCommand(id, code, lParam)) {
            return;
        }
    }
    if (id == IDC_EDIT_WORDS && code == Clicked) {
        EditWords();
    }
}

void UserInterface::SaveSettings() {
    settingsPage->StoreInto(*settings);
    settings->Save();
}

void UserInterface::ReleaseSounds() {
    // A word being made would load players into the bank that goes now.
    if (wordPage) {
        wordPage->StopWork();
    }
    kitSwitch.reset();  // waits for a kit still loading
    if (access) {
        access->ReleaseSounds();
    }
    soundBank.reset();
    if (mainPage) {
        mainPage->GetPad()->SetSoundBank(nullptr);
    }
    beat.reset();
}

void UserInterface::ReleaseSkin() {
    skin.reset();
}

void UserInterface::ReleaseHost() {
    host.reset();
}
