// The kits page: every kit in a list that scrolls by dragging, the one playing marked; a touch
// on a kit plays it at once. Below the list: New (a copy of the words playing now), Rename (a
// typed name: Enter keeps it, Escape leaves it), Delete (to the desktop's trash, once confirmed)
// and Edit words; a line says what happened or why not. The built-in words are neither renamed
// nor deleted. Escape goes back (or leaves the typing, or the confirmation, first).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/Kits.h"
#include "app/Page.h"

class Button;
class Label;
class ScrollPanel;
class TextField;

class KitsPage : public Page {
public:
    explicit KitsPage(UserInterface& ui);
    ~KitsPage() override;

    // The list read again from the kits folder, the one playing marked (as the page is shown).
    void Refresh();

    void OnShow() override { Refresh(); }
    bool OnCommand(int id, int code, LPARAM control) override;
    bool OnKeyDown(UINT virtualKey, UINT scancode) override;
    bool OnChar(UINT character) override;
    std::vector<Control*> FocusOrder() const override;

private:
    void SetupButton(Button* button, const wchar_t* text) const;
    void Layout();
    void Say(const std::wstring& line);
    void StartRename();
    void EndRename(bool keep);
    void Disarm();
    const Kits::Kit* Selected() const;

    std::vector<Kits::Kit> list;
    std::vector<std::unique_ptr<Button>> rows;  // one per kit; spare ones hidden
    std::unique_ptr<Button> newKit;
    std::unique_ptr<Button> rename;
    std::unique_ptr<Button> remove;
    std::unique_ptr<Button> editWords;
    std::unique_ptr<TextField> name;
    std::unique_ptr<Label> state;
    std::unique_ptr<ScrollPanel> panel;
    bool renaming = false;
    bool armed = false;  // Delete asked once; the next Delete moves the kit to the trash
};
