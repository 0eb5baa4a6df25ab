#include <gtest/gtest.h>

#include <thread>

#include "platform/win32.h"

TEST(Rect, PointInsideExcludesRightAndBottomEdges) {
    RECT r;
    ASSERT_TRUE(SetRect(&r, 10, 20, 30, 40));
    EXPECT_TRUE(PtInRect(&r, POINT{10, 20}));
    EXPECT_TRUE(PtInRect(&r, POINT{29, 39}));
    EXPECT_FALSE(PtInRect(&r, POINT{30, 39}));
    EXPECT_FALSE(PtInRect(&r, POINT{29, 40}));
    EXPECT_FALSE(PtInRect(&r, POINT{9, 20}));
    EXPECT_FALSE(PtInRect(nullptr, POINT{0, 0}));
}

TEST(Rect, InflateOffsetAndEmptiness) {
    RECT r;
    SetRect(&r, 10, 20, 30, 40);
    InflateRect(&r, -3, 4);
    const RECT inflated{13, 16, 27, 44};
    EXPECT_TRUE(EqualRect(&r, &inflated));
    OffsetRect(&r, -13, -16);
    const RECT moved{0, 0, 14, 28};
    EXPECT_TRUE(EqualRect(&r, &moved));
    InflateRect(&r, -7, 0);
    EXPECT_TRUE(IsRectEmpty(&r));
    EXPECT_TRUE(IsRectEmpty(nullptr));
    SetRectEmpty(&r);
    EXPECT_TRUE(IsRectEmpty(&r));
    // Wraps as the platform does instead of overflowing.
    SetRect(&r, 0, 0, 0x7fffffff, 1);
    EXPECT_TRUE(InflateRect(&r, 1, 0));
    EXPECT_EQ(r.right, static_cast<LONG>(0x80000000u));
}

TEST(Rect, IntersectAndUnion) {
    const RECT a{0, 0, 10, 10};
    const RECT b{5, 5, 20, 20};
    const RECT far{30, 30, 40, 40};
    const RECT empty{3, 3, 3, 9};
    RECT r;
    EXPECT_TRUE(IntersectRect(&r, &a, &b));
    const RECT overlap{5, 5, 10, 10};
    EXPECT_TRUE(EqualRect(&r, &overlap));
    EXPECT_FALSE(IntersectRect(&r, &a, &far));
    EXPECT_TRUE(IsRectEmpty(&r));
    EXPECT_EQ(r.left, 0);

    EXPECT_TRUE(UnionRect(&r, &a, &b));
    const RECT both{0, 0, 20, 20};
    EXPECT_TRUE(EqualRect(&r, &both));
    EXPECT_TRUE(UnionRect(&r, &empty, &b));
    EXPECT_TRUE(EqualRect(&r, &b));
    EXPECT_FALSE(UnionRect(&r, &empty, &empty));
    EXPECT_TRUE(CopyRect(&r, &far));
    EXPECT_TRUE(EqualRect(&r, &far));
}

TEST(LastError, IsKeptPerThread) {
    SetLastError(ERROR_ALREADY_EXISTS);
    DWORD other = 1;
    std::thread([&other] {
        other = GetLastError();
        SetLastError(ERROR_FILE_NOT_FOUND);
    }).join();
    EXPECT_EQ(other, static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
}
