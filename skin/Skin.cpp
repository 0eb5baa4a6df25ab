#include "skin/Skin.h"

#include "settings/Settings.h"

const WCHAR* const Skin::kImageFiles[SkinImageCount] = {
    L"Pic_TopBar.png",
    L"Pic_BotBar.png",
    L"Btn_Close_UP.png",
    L"Btn_Close_DN.png",
    L"Btn_About_UP.png",
    L"Btn_About_DN.png",
    L"Btn_Settings_UP.png",
    L"Btn_Settings_DN.png",
    L"Btn_Back_UP.png",
    L"Btn_Back_DN.png",
    L"PadCtrl_PlayTalk_BACK.png",
    L"PadCtrl_PlayTalk_DN.png",
    L"Chk_PlayBeat_OFF.png",
    L"Chk_PlayBeat_ON.png",
    L"Chk_PlayTalk_LowHigh_OFF.png",
    L"Chk_PlayTalk_LowHigh_ON.png",
    L"Sld_PlayBeatProgress_BACK.png",
    L"Sld_Settings_BACK.png",
    L"Sld_Settings_FRONT.png",
    L"Chk_Settings_OFF.png",
    L"Chk_Settings_ON.png",
};

const WCHAR Skin::kFontFace[] = L"HelveticaNeue LT 35 Thin";

namespace {

struct FontSpec {
    int designHeight;  // 96-dpi units
    bool semibold;
};

const FontSpec kFonts[SkinFontCount] = {
    {12, false}, {12, true}, {16, false}, {16, true}, {18, false}, {18, true},
};

}  // namespace

HFONT CreateSkinFont(LPCWSTR face, int height, bool semibold, BYTE italic, BYTE underline) {
    LOGFONT font = {};
    font.lfHeight = height;
    font.lfWidth = 0;
    font.lfEscapement = 0;
    font.lfOrientation = 0;
    font.lfWeight = semibold ? FW_SEMIBOLD : FW_MEDIUM;
    font.lfItalic = italic;
    font.lfUnderline = underline;
    font.lfStrikeOut = 0;
    font.lfCharSet = EASTEUROPE_CHARSET;
    font.lfOutPrecision = OUT_RASTER_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = CLEARTYPE_QUALITY;
    font.lfPitchAndFamily = DEFAULT_PITCH;
    // A face too long for the record is cut, as the platform itself would cut it.
    if (face != nullptr) {
        StringCchCopy(font.lfFaceName, LF_FACESIZE, face);
    }
    return CreateFontIndirect(&font);
}

Skin::Skin() {
    for (HBITMAP& image : images) {
        image = nullptr;
    }
    for (HFONT& font : fonts) {
        font = nullptr;
    }
}

Skin::~Skin() {
    Release();
}

void Skin::Release() {
    for (HBITMAP& image : images) {
        if (image != nullptr) {
            DeleteObject(image);
            image = nullptr;
        }
    }
    for (HFONT& font : fonts) {
        if (font != nullptr) {
            DeleteObject(font);
            font = nullptr;
        }
    }
}

bool Skin::Load(LPCWSTR folder, LPCWSTR descriptionFile) {
    (void)descriptionFile;  // nothing of the skin is described there
    Release();              // a second load must not leak the first one's handles
    for (int i = 0; i < SkinImageCount; ++i) {
        WCHAR path[MAX_PATH];
        // A path that does not fit would load some other file: the slot stays empty instead.
        images[i] =
            BuildPath(path, MAX_PATH, folder, kImageFiles[i]) ? SHLoadImageFile(path) : nullptr;
    }

    int dpi = -1;
    if (HDC screen = GetDC(nullptr)) {
        dpi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
    }
    for (int i = 0; i < SkinFontCount; ++i) {
        const int height = (kFonts[i].designHeight * dpi + 48) / 96;
        fonts[i] = CreateSkinFont(kFontFace, height, kFonts[i].semibold, 0, 0);
    }
    return true;
}

HBITMAP Skin::GetImage(int image) const {
    return image >= 0 && image < SkinImageCount ? images[image] : nullptr;
}

HFONT Skin::GetFont(int font) const {
    return font >= 0 && font < SkinFontCount ? fonts[font] : nullptr;
}
