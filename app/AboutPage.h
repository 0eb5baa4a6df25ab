// The about page: the product line, version, maker's logo, web site and e-mail, the donation
// button and the copyright between the bars, and the way back. Escape goes back too.
#pragma once

#include <memory>

#include "app/Page.h"

class Button;
class ImageBox;
class Label;

class AboutPage : public Page {
public:
    explicit AboutPage(UserInterface& ui);
    ~AboutPage() override;

    bool OnCommand(int id, int code, LPARAM control) override;
    std::vector<Control*> FocusOrder() const override;

private:
    std::unique_ptr<Label> productLine;
    std::unique_ptr<Label> version;
    std::unique_ptr<ImageBox> makerLogo;
    std::unique_ptr<Label> webSite;
    std::unique_ptr<Label> email;
    std::unique_ptr<Button> donate;
    std::unique_ptr<Label> copyright;
};
