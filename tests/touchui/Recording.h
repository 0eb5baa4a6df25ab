// A recording main window for touchui tests: the notifications controls post arrive as
// WM_COMMAND and are read back in order as (code, id, control).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <vector>

#include "support/TestWindow.h"
#include "touchui/Control.h"

namespace touchui_test {

struct Command {
    int code;
    int id;
    const void* control;
    bool operator==(const Command& o) const {
        return code == o.code && id == o.id && control == o.control;
    }
};

inline std::ostream& operator<<(std::ostream& os, const Command& c) {
    return os << "{code " << c.code << ", id " << c.id << ", control " << c.control << "}";
}

class RecordingTest : public ::testing::Test {
protected:
    // A 240 x 320 screen at 96 dpi unless a test asks otherwise.
    void SetUp() override { Open(240, 320, 96); }
    void TearDown() override {
        window_.reset();
        ResetScaleForTests();
    }
    void Open(int width, int height, int dpi) {
        window_.reset();
        window_.reset(new TestWindow(width, height, dpi));
        ResetScaleForTests();
    }

    HWND hwnd() const { return window_->Handle(); }
    TestWindow& window() { return *window_; }

    // Delivers what is queued now and returns the WM_COMMANDs that arrived since the last call
    // (the window's record of other messages is cleared too).
    std::vector<Command> Commands() {
        window_->Pump(0);
        std::vector<Command> out;
        for (const TestWindow::Message& m : window_->Messages(WM_COMMAND))
            out.push_back(Command{static_cast<int>(HIWORD(m.wParam)),
                                  static_cast<int>(LOWORD(m.wParam)),
                                  reinterpret_cast<const void*>(m.lParam)});
        window_->ClearMessages();
        return out;
    }

private:
    std::unique_ptr<TestWindow> window_;
};

}  // namespace touchui_test
