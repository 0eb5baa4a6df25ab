// DCs, bitmaps, brushes and stock objects: ownership, selection and descriptions.
#include <gtest/gtest.h>

#include "platform/device/headless/HeadlessDevice.h"
#include "support/GdiTestSupport.h"

using platform::gdi::BitmapPixels;
using platform::gdi::CreateBitmap32;
using platform::gdi::CreateSurfaceDC;

TEST(GdiObjects, SelectedBitmapCannotBeDeletedUntilReleased) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateBitmap32(4, 3);
    ASSERT_NE(dc, nullptr);
    ASSERT_NE(bitmap, nullptr);
    HGDIOBJ stock = SelectObject(dc, bitmap);
    ASSERT_NE(stock, nullptr);
    EXPECT_EQ(GetObjectType(stock), DWORD(OBJ_BITMAP));
    EXPECT_FALSE(DeleteObject(bitmap));
    EXPECT_EQ(SelectObject(dc, stock), bitmap);
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_FALSE(DeleteObject(bitmap));  // stale handle
    EXPECT_TRUE(DeleteDC(dc));
}

TEST(GdiObjects, DeleteDCReleasesItsBitmap) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateBitmap32(2, 2);
    SelectObject(dc, bitmap);
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_FALSE(DeleteDC(dc));
    EXPECT_TRUE(DeleteObject(bitmap));
}

TEST(GdiObjects, BitmapLivesInOneMemoryDCAtATime) {
    HDC a = CreateCompatibleDC(nullptr);
    HDC b = CreateCompatibleDC(a);
    HBITMAP bitmap = CreateBitmap32(2, 2);
    EXPECT_NE(SelectObject(a, bitmap), nullptr);
    EXPECT_EQ(SelectObject(b, bitmap), nullptr);
    EXPECT_EQ(SelectObject(a, bitmap), bitmap);  // reselecting into its own DC is fine
    DeleteDC(a);
    EXPECT_NE(SelectObject(b, bitmap), nullptr);
    DeleteDC(b);
    EXPECT_TRUE(DeleteObject(bitmap));
}

TEST(GdiObjects, WrongTypedAndNullHandlesFail) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateBitmap32(2, 2);
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    EXPECT_FALSE(DeleteDC(reinterpret_cast<HDC>(bitmap)));
    EXPECT_EQ(SelectObject(reinterpret_cast<HDC>(brush), bitmap), nullptr);
    EXPECT_EQ(SelectObject(dc, dc), nullptr);
    EXPECT_EQ(SelectObject(nullptr, bitmap), nullptr);
    EXPECT_EQ(CreateCompatibleDC(reinterpret_cast<HDC>(bitmap)), nullptr);
    EXPECT_EQ(CreateCompatibleBitmap(reinterpret_cast<HDC>(brush), 2, 2), nullptr);
    EXPECT_FALSE(DeleteObject(dc));
    EXPECT_FALSE(DeleteObject(nullptr));
    EXPECT_EQ(GetObject(brush, 0, nullptr), 0);
    RECT r{0, 0, 1, 1};
    EXPECT_EQ(FillRect(dc, &r, reinterpret_cast<HBRUSH>(bitmap)), 0);
    EXPECT_FALSE(BitBlt(reinterpret_cast<HDC>(bitmap), 0, 0, 1, 1, dc, 0, 0, SRCCOPY));
    EXPECT_FALSE(BitBlt(dc, 0, 0, 1, 1, reinterpret_cast<HDC>(bitmap), 0, 0, SRCCOPY));
    EXPECT_EQ(GetDeviceCaps(reinterpret_cast<HDC>(brush), LOGPIXELSX), 0);
    EXPECT_EQ(GetPixel(nullptr, 0, 0), CLR_INVALID);
    DeleteObject(brush);
    DeleteDC(dc);
    DeleteObject(bitmap);
}

TEST(GdiObjects, BitmapDescriptionAndBadSizes) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, 7, 5);
    BITMAP bm{};
    EXPECT_EQ(GetObject(bitmap, sizeof(bm), nullptr), int(sizeof(BITMAP)));
    EXPECT_EQ(GetObject(bitmap, sizeof(bm) - 1, &bm), 0);
    ASSERT_EQ(GetObject(bitmap, sizeof(bm), &bm), int(sizeof(BITMAP)));
    EXPECT_EQ(bm.bmWidth, 7);
    EXPECT_EQ(bm.bmHeight, 5);
    EXPECT_EQ(bm.bmWidthBytes, 28);
    EXPECT_EQ(bm.bmPlanes, 1);
    EXPECT_EQ(bm.bmBitsPixel, 32);
    int w = 0, h = 0, stride = 0;
    uint32_t* bits = BitmapPixels(bitmap, &w, &h, &stride);
    ASSERT_NE(bits, nullptr);
    EXPECT_EQ(w * 10 + h, 75);
    EXPECT_EQ(stride, 28);
    EXPECT_EQ(bits[7 * 5 - 1], 0u);  // zero-filled
    EXPECT_EQ(BitmapPixels(reinterpret_cast<HBITMAP>(dc), &w, &h, &stride), nullptr);
    EXPECT_EQ(CreateBitmap32(0, 5), nullptr);
    EXPECT_EQ(CreateBitmap32(5, -1), nullptr);
    EXPECT_EQ(CreateBitmap32(1 << 20, 1 << 20), nullptr);
    EXPECT_EQ(CreateCompatibleBitmap(dc, 0, 0), nullptr);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

TEST(GdiObjects, StockObjectsSurviveDeletion) {
    HGDIOBJ white = GetStockObject(WHITE_BRUSH);
    HGDIOBJ black = GetStockObject(BLACK_BRUSH);
    ASSERT_NE(white, nullptr);
    EXPECT_NE(white, black);
    EXPECT_EQ(GetObjectType(white), DWORD(OBJ_BRUSH));
    EXPECT_EQ(GetObjectType(GetStockObject(BLACK_PEN)), DWORD(OBJ_PEN));
    EXPECT_EQ(GetObjectType(GetStockObject(SYSTEM_FONT)), DWORD(OBJ_FONT));
    EXPECT_TRUE(DeleteObject(white));
    EXPECT_EQ(GetObjectType(white), DWORD(OBJ_BRUSH));
    EXPECT_EQ(GetStockObject(12345), nullptr);
}

TEST(GdiObjects, BrushDeletedWhileSelectedGoesWhenReleased) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBRUSH brush = CreateSolidBrush(RGB(9, 8, 7));
    HGDIOBJ previous = SelectObject(dc, brush);
    EXPECT_EQ(previous, GetStockObject(WHITE_BRUSH));
    EXPECT_TRUE(DeleteObject(brush));
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), brush);  // still usable by the DC
    SelectObject(dc, previous);
    EXPECT_EQ(GetObjectType(brush), 0u);
    DeleteDC(dc);
}

TEST(GdiObjects, DeviceCapsWithoutDevice) {
    HBITMAP surface = CreateBitmap32(33, 44);
    HDC dc = CreateSurfaceDC(surface);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(GetObjectType(dc), DWORD(OBJ_DC));
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), 96);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 96);
    EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 33);
    EXPECT_EQ(GetDeviceCaps(dc, VERTRES), 44);
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 32);
    EXPECT_EQ(GetDeviceCaps(dc, PLANES), 1);
    // The surface belongs to its DC until the DC goes; a window DC takes no other bitmap.
    EXPECT_FALSE(DeleteObject(surface));
    HBITMAP other = CreateBitmap32(2, 2);
    EXPECT_EQ(SelectObject(dc, other), nullptr);
    HDC memory = CreateCompatibleDC(dc);
    EXPECT_EQ(GetObjectType(memory), DWORD(OBJ_MEMDC));
    EXPECT_EQ(GetDeviceCaps(memory, LOGPIXELSY), 96);
    DeleteDC(memory);
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_TRUE(DeleteObject(surface));
    DeleteObject(other);
}

TEST(GdiObjects, DCStateSettersReturnThePreviousValue) {
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(GetBkMode(dc), OPAQUE);
    EXPECT_EQ(SetBkMode(dc, TRANSPARENT), OPAQUE);
    EXPECT_EQ(SetBkMode(dc, 7), 0);
    EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
    EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 0));
    EXPECT_EQ(SetTextColor(dc, RGB(1, 2, 3)), RGB(0, 0, 0));
    EXPECT_EQ(GetTextColor(dc), RGB(1, 2, 3));
    EXPECT_EQ(GetBkColor(dc), RGB(255, 255, 255));
    EXPECT_EQ(SetBkColor(dc, RGB(4, 5, 6)), RGB(255, 255, 255));
    EXPECT_EQ(GetBkColor(dc), RGB(4, 5, 6));
    EXPECT_EQ(GetStretchBltMode(dc), BLACKONWHITE);
    EXPECT_EQ(SetStretchBltMode(dc, COLORONCOLOR), BLACKONWHITE);
    EXPECT_EQ(GetStretchBltMode(dc), COLORONCOLOR);
    EXPECT_EQ(SetTextColor(nullptr, 0), CLR_INVALID);
    DeleteDC(dc);
}

TEST(GdiObjects, DeviceCapsReportTheCurrentDevice) {
    platform::DeviceOptions options;
    options.screenWidth = 480;
    options.screenHeight = 640;
    options.dpiX = 192;
    options.dpiY = 144;
    platform::SetCurrentDevice(std::make_unique<platform::HeadlessDevice>(options));
    HBITMAP surface = CreateBitmap32(480, 640);
    HDC screen = CreateSurfaceDC(surface);
    HDC memory = CreateCompatibleDC(screen);
    for (HDC dc : {screen, memory}) {
        EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), 192);
        EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 144);
        EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 480);
        EXPECT_EQ(GetDeviceCaps(dc, VERTRES), 640);
    }
    // The default font follows the screen's dpi: 9 points at 144 dpi are 18 pixels of em.
    TEXTMETRIC tm{};
    ASSERT_TRUE(GetTextMetrics(memory, &tm));
    EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, 18);
    DeleteDC(memory);
    DeleteDC(screen);
    DeleteObject(surface);
    platform::SetCurrentDevice(nullptr);
}
