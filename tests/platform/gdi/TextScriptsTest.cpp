// Text as its script writes it: right-to-left order, Arabic joining, faces that fill in for
// missing letters, control characters left out, and measurements that agree with the drawing.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "tests/platform/gdi/TextTestSupport.h"

using gditest::Canvas;
using gditest::Extent;
using gditest::Ink;
using gditest::kCanary;
using gditest::MakeFont;

namespace {

constexpr UINT kLine = DT_SINGLELINE | DT_NOCLIP;
const RECT kWide{10, 10, 390, 50};

// The characters of `text` drawn one at a time in the order given, each where the one before it
// ended: what a line looks like with that visual order and no shaping.
uint64_t OneByOne(Canvas& c, const std::wstring& text, const std::vector<size_t>& visual) {
    c.Fill(kCanary);
    int x = kWide.left;
    for (size_t i : visual) {
        RECT r{x, kWide.top, kWide.right, kWide.bottom};
        DrawText(c.dc, &text[i], 1, &r, kLine);
        x += Extent(c.dc, text.substr(i, 1));
    }
    return c.Hash();
}

std::vector<size_t> Reversed(size_t n) {
    std::vector<size_t> order;
    for (size_t i = n; i-- > 0;) {
        order.push_back(i);
    }
    return order;
}

}  // namespace

TEST(GdiTextScripts, RunsAreDrawnInVisualOrder) {
    struct Case {
        const char* what;
        std::wstring text;
        std::vector<size_t> visual;  // logical indices, left to right
    };
    const Case cases[] = {
        {"Hebrew word", L"שלום", {3, 2, 1, 0}},
        {"Hebrew word in a Latin line", L"ab שלום", {0, 1, 2, 6, 5, 4, 3}},
        {"Latin word in a Hebrew line", L"שלום ab", {5, 6, 4, 3, 2, 1, 0}},
        {"number in a Hebrew line", L"חדר 12", {4, 5, 3, 2, 1, 0}},
        {"two Hebrew words", L"כן לא", {4, 3, 2, 1, 0}},
        {"Latin only", L"Pad 12", {0, 1, 2, 3, 4, 5}},
        {"Latin and Greek, two runs", L"Pad Γειά", {0, 1, 2, 3, 4, 5, 6, 7}},
    };
    HFONT font = MakeFont(-24);
    Canvas c(400, 60, font);
    for (const Case& k : cases) {
        const uint64_t expected = OneByOne(c, k.text, k.visual);
        EXPECT_EQ(c.Draw(k.text, kWide, kLine), expected) << k.what;
    }
    DeleteObject(font);
}

TEST(GdiTextScripts, ArabicLettersJoin) {
    struct Case {
        const char* what;
        std::wstring text;
        std::wstring joined;  // the same letters as presentation forms: initial, medial, final
    };
    const Case cases[] = {
        {"beh yeh teh", L"بيت", L"\uFE91\uFEF4\uFE96"},
        {"hello", L"مرحبا", L"\uFEE3\uFEAE\uFEA3\uFE92\uFE8E"},
        {"lam alef ligature", L"لا", L"\uFEFB"},
    };
    HFONT font = MakeFont(-24);
    Canvas c(400, 60, font);
    for (const Case& k : cases) {
        const uint64_t word = c.Draw(k.text, kWide, kLine);
        EXPECT_EQ(word, c.Draw(k.joined, kWide, kLine)) << k.what;
        // Letter by letter, right to left, each in its isolated form: not how it is written.
        EXPECT_NE(word, OneByOne(c, k.text, Reversed(k.text.size()))) << k.what;
        EXPECT_EQ(Extent(c.dc, k.text), Extent(c.dc, k.joined)) << k.what;
    }
    DeleteObject(font);
}

TEST(GdiTextScripts, ControlCharactersAreLeftOut) {
    struct Case {
        std::wstring text;
        std::wstring shown;
    };
    const Case cases[] = {
        {L"Pad\tword", L"Padword"},
        {L"\x1B[1mBold", L"[1mBold"},
        {L"Del\x7F and C1\x85", L"Del and C1"},
        {L"\x1Bשלום\t", L"שלום"},
        {L"a\rb", L"ab"},
    };
    HFONT font = MakeFont(-24);
    Canvas c(400, 60, font);
    for (const Case& k : cases) {
        EXPECT_EQ(c.Draw(k.text, kWide, kLine), c.Draw(k.shown, kWide, kLine));
        EXPECT_EQ(Extent(c.dc, k.text), Extent(c.dc, k.shown));
        RECT withControls = kWide, without = kWide;
        DrawText(c.dc, k.text.c_str(), -1, &withControls, DT_CALCRECT | 0x40011);
        DrawText(c.dc, k.shown.c_str(), -1, &without, DT_CALCRECT | 0x40011);
        EXPECT_EQ(withControls.right, without.right);
        EXPECT_EQ(withControls.bottom, without.bottom);
    }
    DeleteObject(font);
}

TEST(GdiTextScripts, RightToLeftEllipsisCutsTheLogicalEndOnTheLeft) {
    HFONT font = MakeFont(-24);
    Canvas c(400, 60, font);
    const std::wstring text = L"שלום עולם ומלואו";
    RECT narrow{kWide.left, kWide.top, kWide.left + Extent(c.dc, text) / 2, kWide.bottom};
    size_t keep = 0;
    while (Extent(c.dc, text.substr(0, keep + 1) + L"...") <= narrow.right - narrow.left) {
        ++keep;
    }
    ASSERT_GT(keep, 2u);
    const std::wstring cut = text.substr(0, keep) + L"...";
    const uint64_t drawn = c.Draw(text, narrow, DT_SINGLELINE | DT_END_ELLIPSIS);
    EXPECT_EQ(drawn, c.Draw(cut, narrow, DT_SINGLELINE));
    // The dots on the left, then the first letters, the first one at the right end.
    EXPECT_EQ(drawn, OneByOne(c, cut, Reversed(cut.size())));
    RECT calc = narrow;
    DrawText(c.dc, text.c_str(), -1, &calc, DT_SINGLELINE | DT_END_ELLIPSIS | DT_CALCRECT);
    EXPECT_EQ(calc.right - calc.left, Extent(c.dc, cut));
    DeleteObject(font);
}

TEST(GdiTextScripts, MeasurementsAgreeWithTheDrawing) {
    const std::wstring texts[] = {L"Thank you very much", L"ילד טוב מאוד", L"صباح الخير يا صديقي",
                                  L"Hello שלום 123", L"مرحبا 123"};
    HFONT font = MakeFont(-24);
    Canvas c(400, 200, font);
    TEXTMETRIC tm{};
    GetTextMetrics(c.dc, &tm);
    for (const std::wstring& text : texts) {
        // One line: the extent is the line's width and holds its ink.
        RECT calc = kWide;
        EXPECT_EQ(DrawText(c.dc, text.c_str(), -1, &calc, DT_SINGLELINE | DT_CALCRECT),
                  tm.tmHeight);
        EXPECT_EQ(calc.right - calc.left, Extent(c.dc, text));
        c.Draw(text, kWide, DT_SINGLELINE);
        RECT ink = Ink(c);
        EXPECT_GE(ink.left, calc.left - 1);
        EXPECT_LE(ink.right, calc.right + 1);

        // Broken into words: as many lines as the calculation said, each inside its width.
        RECT box{10, 10, 10 + Extent(c.dc, text) * 2 / 3, 190};
        calc = box;
        const int height = DrawText(c.dc, text.c_str(), -1, &calc, DT_CALCRECT | 0x40011);
        EXPECT_EQ(height, 2 * tm.tmHeight);
        c.Draw(text, box, 0x40011);
        ink = Ink(c);
        const int centre = (box.left + box.right) / 2, half = (calc.right - calc.left + 1) / 2;
        EXPECT_GE(ink.left, centre - half - 1);
        EXPECT_LE(ink.right, centre + half + 1);
        EXPECT_GT(ink.bottom, box.top + tm.tmHeight);
        EXPECT_LE(ink.bottom, box.top + height);
    }
    DeleteObject(font);
}

TEST(GdiTextScripts, AFaceWithoutTheLettersBorrowsThemFromOneThatHasThem) {
    // DejaVu Serif has neither Hebrew nor Arabic; DejaVu Sans has both, with the same metrics.
    HFONT serif = MakeFont(-24, FW_NORMAL, L"DejaVu Serif");
    HFONT sans = MakeFont(-24);
    Canvas s(400, 60, serif), n(400, 60, sans);
    TEXTMETRIC serifMetrics{}, sansMetrics{};
    GetTextMetrics(s.dc, &serifMetrics);
    GetTextMetrics(n.dc, &sansMetrics);
    ASSERT_EQ(serifMetrics.tmAscent, sansMetrics.tmAscent);
    for (const std::wstring text : {L"שלום", L"مرحبا"}) {
        EXPECT_EQ(s.Draw(text, kWide, kLine), n.Draw(text, kWide, kLine));
        EXPECT_EQ(Extent(s.dc, text), Extent(n.dc, text));
    }
    // Latin stays in the face asked for.
    EXPECT_NE(s.Draw(L"Pad", kWide, kLine), n.Draw(L"Pad", kWide, kLine));
    DeleteObject(serif);
    DeleteObject(sans);
}

TEST(GdiTextScripts, OneFaceShapesForTwoThreadsAtOnce) {
    HFONT font = nullptr;
    std::thread loader([&font] { font = MakeFont(24); });
    loader.join();
    ASSERT_NE(font, nullptr);
    const std::wstring texts[] = {L"مرحبا 123", L"שלום Hello", L"صباح الخير"};
    uint64_t first[3] = {}, second[3] = {};
    auto draw = [&](uint64_t* out) {
        Canvas c(400, 60, font);
        for (int round = 0; round < 20; ++round) {
            for (int i = 0; i < 3; ++i) {
                out[i] = c.Draw(texts[i] + std::to_wstring(round % 2), kWide, kLine);
            }
        }
    };
    std::thread a(draw, first), b(draw, second);
    a.join();
    b.join();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(first[i], second[i]) << i;
    }
    DeleteObject(font);
}
