// The whole user interface as data: every control, its place, pictures, texts and first values.
#include <algorithm>
#include <new>

#include "app/App.h"
#include "app/Globals.h"
#include "audio/PadControl.h"
#include "settings/Settings.h"
#include "skin/Skin.h"
#include "touchui/Button.h"
#include "touchui/CheckBox.h"
#include "touchui/ImageBox.h"
#include "touchui/Label.h"
#include "touchui/Screen.h"
#include "touchui/ScreenHost.h"
#include "touchui/Slider.h"

namespace {

const UINT kTransitionPeriodMs = 11;
const UINT kFormatLeft = DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS;                 // 0x8024
const UINT kFormatCentred = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS;  // 0x8025
const UINT kFormatTop = DT_CENTER | DT_SINGLELINE | DT_END_ELLIPSIS;                   // 0x8021
const UINT kFormatWords = DT_CENTER | DT_WORDBREAK | DT_WORD_ELLIPSIS;                 // 0x40011
const COLORREF kGradientTop = RGB(165, 251, 49);
const COLORREF kGradientBottom = RGB(51, 102, 0);

const wchar_t kProductLine[] = L"for Pocket PC";
const wchar_t kVersionText[] = L"Version v1.0.0.1";
const wchar_t kWebSite[] = L"www.harrowmint.example";
const wchar_t kSupportEmail[] = L"support@harrowmint.example";
const wchar_t kCopyright[] = L"\u00A9 2026 Harrowmint. All rights reserved.";

template <class T>
T* Make(T*& global, int id) {
    global = new (std::nothrow) T(g_instance, g_mainWindow, id);
    return global;
}

// x and y arrive in pixels (sums are converted term by term by the callers, and the screen size
// enters unconverted); width and height are 96-dpi units.
template <class T>
void Place(T* c, int x, int y, int w, int h) {
    if (c) {
        c->SetBounds(x, y, ScaleX(w), ScaleY(h));
    }
}

void SetMargins(Control* c, int l, int t, int r, int b) {
    if (c) {
        c->SetTextMargins(ScaleX(l), ScaleY(t), ScaleX(r), ScaleY(b));
    }
}

template <class T>
void SetPictures(T* c, HBITMAP normal, HBITMAP active) {
    if (!c) {
        return;
    }
    c->SetImageStyle(1);
    c->SetImagePlacement(2);
    c->SetImage(normal, 1);
    c->SetImage(active, 3);
}

void SetupLabel(Label* label, HFONT font, UINT format, const wchar_t* text) {
    if (!label) {
        return;
    }
    label->SetFont(font);
    label->SetTextFormat(format);
    label->SetText(text);
}

void SetupCaption(Label* label, int y, int width, HFONT font, const wchar_t* text) {
    Place(label, 0, y, width, 30);
    SetupLabel(label, font, kFormatLeft, text);
    SetMargins(label, 15, 1, 2, 1);
}

void SetupVolume(Slider* slider, int y, HFONT font, DWORD value, Skin* skin) {
    if (!slider) {
        return;
    }
    Place(slider, ScaleX(20), y, 200, 15);
    slider->SetBackImage(skin->GetImage(SldSettingsBack), 1, 0);
    slider->SetFrontImage(skin->GetImage(SldSettingsFront), 3, 0);
    slider->SetFont(font);
    slider->SetTextFormat(kFormatCentred);
    slider->SetText(L"0 %");
    slider->SetShowText(1, 0);
    slider->SetFillColors(kGradientTop, kGradientBottom, 0);
    slider->SetPercent(static_cast<int>(value), 0);
}

void SetupSwitch(CheckBox* box, int y, DWORD checked, Skin* skin) {
    if (!box) {
        return;
    }
    Place(box, ScaleX(120), y, 100, 30);
    SetPictures(box, skin->GetImage(ChkSettingsOff), skin->GetImage(ChkSettingsOn));
    box->SetChecked(static_cast<int>(checked));  // as stored: a 5 stays 5, and counts as on
}

// A screen shorter than the pages were drawn for (the square ones) cannot hold their rows between
// the bars. There the gaps go first, then the rows that may shrink share what is left alike (never
// above their drawn height), and what remains is spread over the gaps again. Rows keep their
// order, so every control stays visible and none lies over another.
struct Row {
    int gapBefore;  // 96-dpi units
    int height;     // 96-dpi units
    bool shrinks;
    int y;  // pixels, set by Stack
    int h;
};

void Stack(Row* rows, int count, int top, int bottom) {
    int fixed = 0;
    int flexible = 0;
    int gaps = 0;
    for (int i = 0; i < count; ++i) {
        if (rows[i].shrinks) {
            ++flexible;
        } else {
            fixed += ScaleY(rows[i].height);
        }
        if (rows[i].gapBefore > 0) {
            ++gaps;
        }
    }
    const int shared = flexible > 0 ? std::max(0, bottom - top - fixed) / flexible : 0;
    int spare = bottom - top;
    for (int i = 0; i < count; ++i) {
        const int drawn = ScaleY(rows[i].height);
        rows[i].h = rows[i].shrinks ? std::min(drawn, shared) : drawn;
        spare -= rows[i].h;
    }
    int y = top;
    for (int i = 0; i < count; ++i) {
        if (rows[i].gapBefore > 0) {
            const int gap = std::min(ScaleY(rows[i].gapBefore), std::max(0, spare) / gaps);
            y += gap;
            spare -= gap;
            --gaps;
        }
        rows[i].y = y;
        y += rows[i].h;
    }
}

void Restack(Control* c, const Row& row) {
    if (c) {
        c->SetBounds(c->GetLeft(), row.y, c->GetWidth(), row.h);
    }
}

void AddAll(Screen* screen, std::initializer_list<Control*> controls) {
    if (!screen) {
        return;
    }
    for (Control* c : controls) {
        if (c) {
            screen->AddControl(c);
        }
    }
}

}  // namespace

int BuildControlTree() {
    if (!g_skin || !g_settings) {
        return 0;
    }
    Skin* skin = g_skin;
    Settings* settings = g_settings;
    const int S = GetSystemMetrics(SM_CXSCREEN);
    const int H = GetSystemMetrics(SM_CYSCREEN);
    HFONT font = skin->GetFont(Font12Medium);
    HBITMAP makerLogo = g_app ? g_app->makerLogo : nullptr;
    HBITMAP donate = g_app ? g_app->donateButton : nullptr;
    HBITMAP donatePressed = g_app ? g_app->donateButtonPressed : nullptr;

    // 1. Create everything, in order.
    g_host = new (std::nothrow)
        ScreenHost(g_instance, g_mainWindow, IDC_HOST, IDT_TRANSITION, kTransitionPeriodMs);
    Make(g_screenMain, IDC_SCREEN_MAIN);
    Make(g_screenAbout, IDC_SCREEN_ABOUT);
    Make(g_screenSettings, IDC_SCREEN_SETTINGS);
    Make(g_topBar, IDC_TOP_BAR);
    Make(g_bottomBar, IDC_BOTTOM_BAR);
    Make(g_closeButton, IDC_CLOSE);
    Make(g_aboutButton, IDC_ABOUT);
    Make(g_settingsButton, IDC_SETTINGS);
    Make(g_pad, IDC_PAD);
    Make(g_playBeat, IDC_PLAY_BEAT);
    Make(g_voice, IDC_VOICE);
    Make(g_beatProgress, IDC_BEAT_PROGRESS);
    Make(g_productLine, IDC_PRODUCT_LINE);
    Make(g_version, IDC_VERSION);
    Make(g_makerLogo, IDC_MAKER_LOGO);
    Make(g_webSite, IDC_WEB_SITE);
    Make(g_email, IDC_EMAIL);
    Make(g_donateButton, IDC_DONATE);
    Make(g_copyright, IDC_COPYRIGHT);
    Make(g_aboutBack, IDC_ABOUT_BACK);
    Make(g_volumeBeatCaption, IDC_VOLUME_BEAT_CAPTION);
    Make(g_volumeBeat, IDC_VOLUME_BEAT);
    Make(g_volumeSoundsCaption, IDC_VOLUME_SOUNDS_CAPTION);
    Make(g_volumeSounds, IDC_VOLUME_SOUNDS);
    Make(g_xButtonCaption, IDC_XBUTTON_CAPTION);
    Make(g_xButton, IDC_XBUTTON);
    Make(g_animationsCaption, IDC_ANIMATIONS_CAPTION);
    Make(g_animations, IDC_ANIMATIONS);
    Make(g_vibrationsCaption, IDC_VIBRATIONS_CAPTION);
    Make(g_vibrations, IDC_VIBRATIONS);
    Make(g_settingsBack, IDC_SETTINGS_BACK);

    // 2. Configure them, in the same order.
    Place(g_topBar, 0, 0, 240, 54);
    if (g_topBar) {
        g_topBar->SetImageStyle(1);
        g_topBar->SetImagePlacement(2);
        g_topBar->SetImage(skin->GetImage(PicTopBar), 1);
    }
    Place(g_bottomBar, 0, H - ScaleY(54), 240, 54);
    if (g_bottomBar) {
        g_bottomBar->SetImageStyle(1);
        g_bottomBar->SetImagePlacement(2);
        g_bottomBar->SetImage(skin->GetImage(PicBotBar), 1);
    }
    Place(g_closeButton, S - ScaleX(26), 0, 26, 26);
    SetPictures(g_closeButton, skin->GetImage(BtnCloseUp), skin->GetImage(BtnCloseDn));
    Place(g_aboutButton, 0, 0, 26, 26);
    SetPictures(g_aboutButton, skin->GetImage(BtnAboutUp), skin->GetImage(BtnAboutDn));
    Place(g_settingsButton, ScaleX(26), 0, 26, 26);
    SetPictures(g_settingsButton, skin->GetImage(BtnSettingsUp), skin->GetImage(BtnSettingsDn));

    if (g_pad) {
        Place(g_pad, 0, ScaleY(54), 240, 212);
        g_pad->SetInset(-ScaleX(6), -ScaleY(6));
        g_pad->SetBackImage(skin->GetImage(PadBack));
        g_pad->SetPressedImage(skin->GetImage(PadPressed));
        g_pad->SetFont(font);
        g_pad->SetTextFormat(kFormatWords);
        SetMargins(g_pad, 5, 15, 5, 5);
        g_pad->SetHighVoice(0);
        // Between the bars of a short screen the pad takes the room there is; its words keep
        // clear of the cells' lights, which shrink with the cells, and may use the bottom margin.
        const int room = H - ScaleY(54) - ScaleY(54);
        if (room < ScaleY(212) && room > 0) {
            g_pad->SetBounds(0, ScaleY(54), ScaleX(240), room);
            g_pad->SetInset(-ScaleX(6), -ScaleY(6));
            g_pad->SetTextMargins(ScaleX(5), ScaleY(12) * room / ScaleY(212), ScaleX(5), 0);
        }
    }
    if (g_playBeat) {
        Place(g_playBeat, 0, H - ScaleY(54), 120, 54);
        SetPictures(g_playBeat, skin->GetImage(ChkPlayBeatOff), skin->GetImage(ChkPlayBeatOn));
        g_playBeat->SetShowText(1);
        g_playBeat->SetFont(font);
        g_playBeat->SetTextFormat(kFormatLeft);
        SetMargins(g_playBeat, 45, 1, 2, 1);
        g_playBeat->SetText(L"Play beat");
        g_playBeat->SetChecked(0);
    }
    if (g_voice) {
        Place(g_voice, S - ScaleX(120), H - ScaleY(54), 120, 54);
        SetPictures(g_voice, skin->GetImage(ChkLowHighOff), skin->GetImage(ChkLowHighOn));
        g_voice->SetShowText(1);
        g_voice->SetFont(font);
        g_voice->SetTextFormat(kFormatCentred);
        SetMargins(g_voice, 20, 1, 20, 1);
        g_voice->SetText(L"Low    High");
        g_voice->SetChecked(0);
    }
    if (g_beatProgress) {
        Place(g_beatProgress, 0, H - ScaleY(6), 240, 6);
        g_beatProgress->SetBackImage(skin->GetImage(SldProgressBack), 1, 0);
        g_beatProgress->SetFillColors(kGradientTop, kGradientBottom, 0);
        g_beatProgress->SetShowText(0, 0);
        g_beatProgress->SetRange(0, 100, 1, 0);
        g_beatProgress->SetSnapToStep(0);
        g_beatProgress->SetReadOnly(1);
        g_beatProgress->SetPercent(0, 0);
    }

    Place(g_productLine, 0, ScaleY(65), 240, 20);
    SetupLabel(g_productLine, font, kFormatCentred, kProductLine);
    Place(g_version, 0, ScaleY(85), 240, 20);
    SetupLabel(g_version, font, kFormatTop, kVersionText);
    Place(g_makerLogo, (S - ScaleX(190)) / 2, ScaleY(125), 190, 20);
    if (g_makerLogo) {
        g_makerLogo->SetImageStyle(1);
        g_makerLogo->SetImagePlacement(2);
        g_makerLogo->SetImage(makerLogo, 1);
    }
    Place(g_webSite, 0, ScaleY(145), 240, 20);
    SetupLabel(g_webSite, font, kFormatCentred, kWebSite);
    Place(g_email, 0, ScaleY(165), 240, 20);
    SetupLabel(g_email, font, kFormatTop, kSupportEmail);
    Place(g_donateButton, (S - ScaleX(92)) / 2, ScaleY(205), 92, 26);
    SetPictures(g_donateButton, donate, donatePressed);
    Place(g_copyright, 0, H - ScaleY(54) - ScaleY(20), 240, 20);
    SetupLabel(g_copyright, font, kFormatCentred, kCopyright);
    if (ScaleY(205) + ScaleY(26) > H - ScaleY(54) - ScaleY(20)) {
        Row rows[] = {{11, 20, true, 0, 0}, {0, 20, true, 0, 0}, {20, 20, false, 0, 0},
                      {0, 20, true, 0, 0},  {0, 20, true, 0, 0}, {20, 26, false, 0, 0},
                      {15, 20, true, 0, 0}};
        Stack(rows, 7, ScaleY(54), H - ScaleY(54));
        Control* placed[] = {g_productLine, g_version,      g_makerLogo, g_webSite,
                             g_email,       g_donateButton, g_copyright};
        for (int i = 0; i < 7; ++i) {
            Restack(placed[i], rows[i]);
        }
    }
    Place(g_aboutBack, (S - ScaleX(60)) / 2, H - ScaleY(54), 60, 54);
    SetPictures(g_aboutBack, skin->GetImage(BtnBackUp), skin->GetImage(BtnBackDn));

    // The settings rows stack: each term of a sum is converted on its own.
    const int yVolumeBeat = ScaleY(54) + ScaleY(30);
    const int yVolumeSoundsCaption = yVolumeBeat + ScaleY(15);
    const int yVolumeSounds = yVolumeSoundsCaption + ScaleY(30);
    const int yXButton = yVolumeSounds + ScaleY(15) + ScaleY(15);
    const int yAnimations = yXButton + ScaleY(30) + ScaleY(8);
    const int yVibrations = yAnimations + ScaleY(30) + ScaleY(8);
    SetupCaption(g_volumeBeatCaption, ScaleY(54), 240, font, L"Volume beat:");
    SetupVolume(g_volumeBeat, yVolumeBeat, font, settings->volumeBeat, skin);
    SetupCaption(g_volumeSoundsCaption, yVolumeSoundsCaption, 240, font, L"Volume sounds:");
    SetupVolume(g_volumeSounds, yVolumeSounds, font, settings->volumeSounds, skin);
    SetupCaption(g_xButtonCaption, yXButton, 120, font, L"XButton (close):");
    SetupSwitch(g_xButton, yXButton, settings->xButtonClose, skin);
    SetupCaption(g_animationsCaption, yAnimations, 120, font, L"Animations:");
    SetupSwitch(g_animations, yAnimations, settings->animationsOn, skin);
    SetupCaption(g_vibrationsCaption, yVibrations, 120, font, L"Touch vibrations:");
    SetupSwitch(g_vibrations, yVibrations, settings->vibrationsOn, skin);
    if (yVibrations + ScaleY(30) > H - ScaleY(54)) {
        Row rows[] = {{0, 30, true, 0, 0},  {0, 15, false, 0, 0}, {0, 30, true, 0, 0},
                      {0, 15, false, 0, 0}, {15, 30, true, 0, 0}, {8, 30, true, 0, 0},
                      {8, 30, true, 0, 0}};
        Stack(rows, 7, ScaleY(54), H - ScaleY(54));
        Control* placed[] = {g_volumeBeatCaption, g_volumeBeat, g_volumeSoundsCaption,
                             g_volumeSounds};
        for (int i = 0; i < 4; ++i) {
            Restack(placed[i], rows[i]);
        }
        Control* captions[] = {g_xButtonCaption, g_animationsCaption, g_vibrationsCaption};
        Control* switches[] = {g_xButton, g_animations, g_vibrations};
        for (int i = 0; i < 3; ++i) {
            const Row& row = rows[4 + i];
            Restack(captions[i], row);
            // A shorter switch keeps its picture's shape and its right edge.
            if (switches[i]) {
                const int w = ScaleX(100) * row.h / ScaleY(30);
                switches[i]->SetBounds(ScaleX(120) + ScaleX(100) - w, row.y, w, row.h);
            }
        }
    }
    Place(g_settingsBack, (S - ScaleX(60)) / 2, H - ScaleY(54), 60, 54);
    SetPictures(g_settingsBack, skin->GetImage(BtnBackUp), skin->GetImage(BtnBackDn));

    // 3.-5. The three pages; the order is paint order and the order in which touch is offered.
    if (g_screenMain) {
        g_screenMain->SetBounds(0, 0, S, H);
    }
    AddAll(g_screenMain, {g_pad, g_playBeat, g_voice, g_beatProgress, g_topBar, g_closeButton,
                          g_settingsButton, g_aboutButton});
    if (g_screenAbout) {
        g_screenAbout->SetBounds(0, 0, S, H);
    }
    AddAll(g_screenAbout, {g_productLine, g_version, g_makerLogo, g_webSite, g_email,
                           g_donateButton, g_copyright, g_topBar, g_bottomBar, g_aboutBack});
    if (g_screenSettings) {
        g_screenSettings->SetBounds(0, 0, S, H);
    }
    AddAll(g_screenSettings,
           {g_volumeBeatCaption, g_volumeBeat, g_volumeSoundsCaption, g_volumeSounds,
            g_xButtonCaption, g_xButton, g_animationsCaption, g_animations, g_vibrationsCaption,
            g_vibrations, g_topBar, g_bottomBar, g_settingsBack});

    // 6. The host with its surfaces and pages; adding hides each page.
    if (g_host) {
        g_host->SetBounds(0, 0, S, H);
        g_host->CreateSurfaces();
        g_host->AddScreen(g_screenMain);
        g_host->AddScreen(g_screenAbout);
        g_host->AddScreen(g_screenSettings);
    }
    return 1;
}
