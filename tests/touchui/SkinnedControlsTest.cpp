// The text field, the level meter and a scrolled panel of rows drawn with the skin, as the pages
// that edit words and choose kits use them, compared with reference pictures at the smallest and
// a large screen.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "skin/Skin.h"
#include "support/GoldenImage.h"
#include "support/TestWindow.h"
#include "touchui/CheckBox.h"
#include "touchui/Label.h"
#include "touchui/LevelMeter.h"
#include "touchui/ScrollPanel.h"
#include "touchui/Slider.h"
#include "touchui/TextField.h"

namespace {

constexpr COLORREF kGradientTop = RGB(165, 251, 49), kGradientBottom = RGB(51, 102, 0);

// The dpi is read anew from the window made after it, and forgotten again when it goes.
struct ScaleReset {
    ScaleReset() { ResetScaleForTests(); }
    ~ScaleReset() { ResetScaleForTests(); }
};

golden::Picture PaintControls(int width, int height, int dpi) {
    ScaleReset scale;
    TestWindow window(width, height, dpi);
    Skin skin;
    skin.Load((std::wstring(L"" PULSOR_SOURCE_DIR) + L"/assets/Skin/").c_str(), L"");
    const HWND hwnd = window.Handle();
    const HFONT font = skin.GetFont(Font12Medium);

    TextField typed(NULL, hwnd, 1), empty(NULL, hwnd, 2);
    typed.SetBounds(ScaleX(10), ScaleY(6), ScaleX(220), ScaleY(28));
    typed.SetFont(font);
    typed.SetText(L"My words 2");
    typed.SetFocused(1);
    empty.SetBounds(ScaleX(10), ScaleY(40), ScaleX(220), ScaleY(28));
    empty.SetFont(font);
    empty.SetPlaceholder(L"Type a word");

    LevelMeter meter(NULL, hwnd, 3);
    meter.SetBounds(ScaleX(10), ScaleY(74), ScaleX(220), ScaleY(12));
    meter.SetBackImage(skin.GetImage(SldProgressBack));
    meter.SetLevel(0.85);
    meter.SetLevel(0.6);

    ScrollPanel panel(NULL, hwnd, 4);
    panel.SetBounds(0, ScaleY(92), width, height - ScaleY(92) - ScaleY(4));
    std::vector<std::unique_ptr<Control>> rows;
    auto label = [&](const wchar_t* text, int y, int w) {
        auto l = std::make_unique<Label>(nullptr, hwnd, 10);
        l->SetFont(font);
        l->SetText(text);
        l->SetTextMargins(ScaleX(15), ScaleY(1), ScaleX(2), ScaleY(1));
        panel.AddControl(l.get(), 0, ScaleY(y), ScaleX(w), ScaleY(30));
        rows.push_back(std::move(l));
    };
    label(L"Volume beat:", 0, 240);
    auto slider = std::make_unique<Slider>(nullptr, hwnd, 11);
    slider->SetBackImage(skin.GetImage(SldSettingsBack), 1, 0);
    slider->SetFrontImage(skin.GetImage(SldSettingsFront), 3, 0);
    slider->SetFont(font);
    slider->SetTextFormat(DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    slider->SetFillColors(kGradientTop, kGradientBottom, 0);
    slider->SetPercent(70, 0);
    panel.AddControl(slider.get(), ScaleX(20), ScaleY(30), ScaleX(200), ScaleY(15));
    rows.push_back(std::move(slider));
    label(L"Animations:", 50, 120);
    auto check = std::make_unique<CheckBox>(nullptr, hwnd, 12);
    check->SetImagePlacement(2);
    check->SetImage(skin.GetImage(ChkSettingsOff), ImageNormal);
    check->SetImage(skin.GetImage(ChkSettingsOn), ImageActive);
    check->SetChecked(1);
    panel.AddControl(check.get(), ScaleX(120), ScaleY(50), ScaleX(100), ScaleY(30));
    rows.push_back(std::move(check));
    const wchar_t* kits[] = {L"Built-in words", L"My words", L"My words 2",
                             L"\u05E9\u05DC\u05D5\u05DD \u05E2\u05D5\u05DC\u05DD", L"Party"};
    for (int i = 0; i < 5; ++i)
        label(kits[i], 90 + 32 * i, 240);
    panel.ScrollTo(ScaleY(20));

    const HBITMAP surface = platform::gdi::CreateBitmap32(width, height);
    const HDC dc = platform::gdi::CreateSurfaceDC(surface);
    for (Control* c : std::initializer_list<Control*>{&typed, &empty, &meter, &panel})
        c->PaintIfVisible(dc);
    DeleteDC(dc);
    golden::Picture picture = golden::PictureOf(surface);
    DeleteObject(surface);
    return picture;
}

TEST(SkinnedControls, FieldsMeterAndAScrolledPanelAt240x240) {
    EXPECT_EQ(golden::CompareWithGolden("tests/touchui/golden", "controls_240x240_96dpi_scrolled",
                                        PaintControls(240, 240, 96)),
              "");
}

TEST(SkinnedControls, FieldsMeterAndAScrolledPanelAt480x640) {
    EXPECT_EQ(golden::CompareWithGolden("tests/touchui/golden", "controls_480x640_192dpi_scrolled",
                                        PaintControls(480, 640, 192)),
              "");
}

}  // namespace
