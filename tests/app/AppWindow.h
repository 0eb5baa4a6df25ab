// The program's main window on a headless 240x320 screen at 96 dpi in virtual time (a 26-pixel
// task bar below its work area), its procedure the program's, and the user interface made as the
// loader makes it: settings read from an empty folder, the real skin, and no sounds unless asked.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "app/Globals.h"
#include "app/Ids.h"
#include "app/MainWindow.h"
#include "app/Page.h"
#include "app/UserInterface.h"
#include "platform/kernel/WideString.h"
#include "platform/registry/RegistryStore.h"
#include "settings/Settings.h"
#include "support/TempDir.h"
#include "support/TestWindow.h"
#include "touchui/Screen.h"
#include "touchui/ScreenHost.h"
#include "touchui/ScrollPanel.h"

class AppWindowTest : public testing::Test {
protected:
    void SetUp() override {
        ResetScaleForTests();
        window_ = std::make_unique<TestWindow>(240, 320, 96, 26);
        main_ = std::make_unique<MainWindow>(nullptr);
        g_window = main_.get();
        window_->SetHandler(
            [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
                *result = MainWindow::Proc(hwnd, message, wParam, lParam);
                return true;
            });
        main_->SetHandle(Handle());
        g_loading.store(0);
        SendMessage(Handle(), WM_SIZE, 0, MAKELPARAM(240, 320));
    }

    void TearDown() override {
        if (IsWindow(Handle())) {
            DestroyWindow(Handle());  // shut-down releases the interface
        }
        delete g_ui;
        g_ui = nullptr;
        g_loading.store(0);
        g_window = nullptr;
        main_.reset();
        window_.reset();
        platform::registry::SetConfigDir("");
    }

    HWND Handle() const { return window_->Handle(); }

    // The interface as the loader hands it over, on the main page; `adjust` changes the settings
    // as read before anything is built from them. With `sounds`, the kit and the beat load as at
    // start (an audio output must be running).
    UserInterface& Load(const std::function<void(Settings&)>& adjust = {}, bool sounds = false) {
        platform::registry::SetConfigDir(config_.Path());
        auto ui =
            std::make_unique<UserInterface>(nullptr, Handle(), nullptr, &main_->GetBackBuffer());
        ui->LoadSettings();
        Settings& settings = ui->GetSettings();
        const std::wstring skin = platform::FromUtf8(PULSOR_SOURCE_DIR "/assets/Skin/");
        StringCchCopyW(settings.skinFolder, MAX_PATH, skin.c_str());
        StringCchCopyW(settings.skinFile, MAX_PATH, (skin + L"Skin.txt").c_str());
        if (adjust) {
            adjust(settings);
        }
        ui->LoadSkin();
        if (sounds) {
            ui->LoadSounds();
        }
        ui->BuildPages();
        ui->ShowPage(IDC_SCREEN_MAIN);
        g_ui = ui.release();
        g_loading.store(0);
        return *g_ui;
    }

    // The page's controls, those in its scrolling panels too.
    static std::vector<Control*> ControlsOf(const Page& page) {
        std::vector<Control*> all;
        for (Control* control : page.GetScreen()->controls) {
            all.push_back(control);
            if (auto* panel = dynamic_cast<ScrollPanel*>(control)) {
                all.insert(all.end(), panel->GetControls().begin(), panel->GetControls().end());
            }
        }
        return all;
    }

    // The control with `id` on any page.
    template <class T = Control>
    T* Find(int id) const {
        for (const auto& page : g_ui->GetPages()) {
            for (Control* control : ControlsOf(*page)) {
                if (control->GetId() == id) {
                    return static_cast<T*>(control);
                }
            }
        }
        return nullptr;
    }

    int ShownPage() const {
        Page* page = g_ui->GetShownPage();
        return page ? page->GetId() : 0;
    }

    void Tap(int x, int y) {
        SendMessage(Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        SendMessage(Handle(), WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    }

    // A key as the platform delivers it: the virtual key, and the set-1 scancode in lParam.
    void Key(UINT message, UINT virtualKey, UINT scancode, bool repeat = false) {
        const LPARAM lParam = static_cast<LPARAM>((scancode << 16) | (repeat ? 0x40000000u : 0u) |
                                                  (message == WM_KEYUP ? 0xC0000000u : 0u) | 1u);
        SendMessage(Handle(), message, virtualKey, lParam);
    }

    std::unique_ptr<TestWindow> window_;
    std::unique_ptr<MainWindow> main_;
    TempDir config_;
};
