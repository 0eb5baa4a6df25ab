// The pictures and fonts that give the controls their look, loaded once from the skin folder.
#pragma once

#include "platform/win32.h"

enum SkinImage {
    PicTopBar = 0,
    PicBotBar,
    BtnCloseUp,
    BtnCloseDn,
    BtnAboutUp,
    BtnAboutDn,
    BtnSettingsUp,
    BtnSettingsDn,
    BtnBackUp,
    BtnBackDn,
    PadBack,
    PadPressed,
    ChkPlayBeatOff,
    ChkPlayBeatOn,
    ChkLowHighOff,
    ChkLowHighOn,
    SldProgressBack,
    SldSettingsBack,
    SldSettingsFront,
    ChkSettingsOff,
    ChkSettingsOn,
    SkinImageCount
};

enum SkinFont {
    Font12Medium = 0,
    Font12Semibold,
    Font16Medium,
    Font16Semibold,
    Font18Medium,
    Font18Semibold,
    SkinFontCount
};

// Makes a font of the skin's kind: `height` is the cell height in pixels, weight 600 or 500.
HFONT CreateSkinFont(LPCWSTR face, int height, bool semibold, BYTE italic, BYTE underline);

class Skin {
public:
    Skin();
    virtual ~Skin();
    Skin(const Skin&) = delete;
    Skin& operator=(const Skin&) = delete;

    // Loads every picture from `folder` (ending in a path separator) and makes the fonts scaled to
    // the screen. `descriptionFile` is accepted for the caller's sake and not read. Returns true.
    bool Load(LPCWSTR folder, LPCWSTR descriptionFile);

    // Null for an out-of-range index or a slot that could not be loaded.
    HBITMAP GetImage(int image) const;
    HFONT GetFont(int font) const;

    static const WCHAR* const kImageFiles[SkinImageCount];
    static const WCHAR kFontFace[];

private:
    void Release();

    HBITMAP images[SkinImageCount];
    HFONT fonts[SkinFontCount];
};
