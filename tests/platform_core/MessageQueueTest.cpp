#include <gtest/gtest.h>

#include <atomic>

#include "support/TestWindow.h"

namespace {

TEST(MessageQueue, CreationSendsCreateSizeActivateInOrder) {
    TestWindow window(240, 320, 96);
    ASSERT_TRUE(IsWindow(window.Handle()));
    std::vector<UINT> order;
    for (const auto& m : window.Messages()) {
        if (m.message == WM_CREATE || m.message == WM_SIZE || m.message == WM_ACTIVATE) {
            order.push_back(m.message);
        }
    }
    ASSERT_EQ(order, (std::vector<UINT>{WM_CREATE, WM_SIZE, WM_ACTIVATE}));
    EXPECT_EQ(window.Messages(WM_SIZE)[0].lParam, MAKELPARAM(240, 320));
    EXPECT_EQ(window.Messages(WM_ACTIVATE)[0].wParam, static_cast<WPARAM>(WA_ACTIVE));
}

TEST(MessageQueue, PostedMessagesArriveInPostingOrder) {
    TestWindow window;
    for (int i = 0; i < 5; ++i) {
        PostMessage(window.Handle(), WM_COMMAND, i, 0);
    }
    window.ClearMessages();
    window.Pump(10);
    auto commands = window.Messages(WM_COMMAND);
    ASSERT_EQ(commands.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(commands[i].wParam, static_cast<WPARAM>(i));
    }
}

}  // namespace
