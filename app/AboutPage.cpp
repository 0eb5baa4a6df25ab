#include "app/AboutPage.h"

#include "app/App.h"
#include "app/DefaultBrowser.h"
#include "app/Ids.h"
#include "app/StackRows.h"
#include "app/UserInterface.h"
#include "skin/Skin.h"
#include "touchui/Button.h"
#include "touchui/ImageBox.h"
#include "touchui/Label.h"

namespace {

const wchar_t kProductLine[] = L"for Pocket PC";
const wchar_t kVersionText[] = L"Version v1.0.0.1";
const wchar_t kWebSite[] = L"www.harrowmint.example";
const wchar_t kSupportEmail[] = L"support@harrowmint.example";
const wchar_t kCopyright[] = L"\u00A9 2026 Harrowmint. All rights reserved.";
const wchar_t kDonationPage[] =
    L"https://www.paypal.com/cgi-bin/webscr?cmd=_donations&business=donate%40harrowmint.example"
    L"&lc=US&currency_code=EUR&bn=Harrowmint_Pulsor_Donate";

}  // namespace

AboutPage::AboutPage(UserInterface& ui_)
    : Page(ui_, IDC_SCREEN_ABOUT),
      productLine(Make<Label>(IDC_PRODUCT_LINE)),
      version(Make<Label>(IDC_VERSION)),
      makerLogo(Make<ImageBox>(IDC_MAKER_LOGO)),
      webSite(Make<Label>(IDC_WEB_SITE)),
      email(Make<Label>(IDC_EMAIL)),
      donate(Make<Button>(IDC_DONATE)),
      copyright(Make<Label>(IDC_COPYRIGHT)) {
    const Skin& skin = ui.GetSkin();
    const App* app = ui.GetApp();
    const int S = screenWidth;
    const int H = screenHeight;
    HFONT font = skin.GetFont(Font12Medium);

    Place(productLine.get(), 0, ScaleY(65), 240, 20);
    SetupLabel(productLine.get(), font, kFormatCentred, kProductLine);
    Place(version.get(), 0, ScaleY(85), 240, 20);
    SetupLabel(version.get(), font, kFormatTop, kVersionText);
    Place(makerLogo.get(), (S - ScaleX(190)) / 2, ScaleY(125), 190, 20);
    SetPicture(makerLogo.get(), app ? app->makerLogo : nullptr);
    Place(webSite.get(), 0, ScaleY(145), 240, 20);
    SetupLabel(webSite.get(), font, kFormatCentred, kWebSite);
    Place(email.get(), 0, ScaleY(165), 240, 20);
    SetupLabel(email.get(), font, kFormatTop, kSupportEmail);
    Place(donate.get(), (S - ScaleX(92)) / 2, ScaleY(205), 92, 26);
    SetPictures(donate.get(), app ? app->donateButton : nullptr,
                app ? app->donateButtonPressed : nullptr);
    Place(copyright.get(), 0, H - ScaleY(54) - ScaleY(20), 240, 20);
    SetupLabel(copyright.get(), font, kFormatCentred, kCopyright);
    if (ScaleY(205) + ScaleY(26) > H - ScaleY(54) - ScaleY(20)) {
        std::vector<StackRow> rows = {
            {ScaleY(11), ScaleY(20), true}, {0, ScaleY(20), true}, {ScaleY(20), ScaleY(20), false},
            {0, ScaleY(20), true},          {0, ScaleY(20), true}, {ScaleY(20), ScaleY(26), false},
            {ScaleY(15), ScaleY(20), true}};
        StackRows(rows, ScaleY(54), H - ScaleY(54));
        Control* placed[] = {productLine.get(), version.get(), makerLogo.get(), webSite.get(),
                             email.get(),       donate.get(),  copyright.get()};
        for (size_t i = 0; i < rows.size(); ++i) {
            Restack(placed[i], rows[i]);
        }
    }
    Button* back = MakeWayBack(IDC_ABOUT_BACK);

    Compose({productLine.get(), version.get(), makerLogo.get(), webSite.get(), email.get(),
             donate.get(), copyright.get(), ui.GetTopBar(), ui.GetBottomBar(), back});
}

AboutPage::~AboutPage() = default;

bool AboutPage::OnCommand(int id, int code, LPARAM control) {
    if (id != IDC_DONATE) {
        return Page::OnCommand(id, code, control);
    }
    if (code == Clicked) {
        DefaultBrowser::Open(kDonationPage);
    }
    return true;
}

std::vector<Control*> AboutPage::FocusOrder() const {
    return {donate.get(), GetWayBack()};
}
