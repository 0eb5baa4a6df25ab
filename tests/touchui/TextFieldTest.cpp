// The text field: what typing does to its text and reports, how a tap asks for the focus, and what
// it draws (frame, caret, placeholder, the end of a long text, right-to-left lines).
#include "touchui/TextField.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/PixelSurface.h"
#include "tests/touchui/Recording.h"
#include "touchui/UnicodeText.h"

using pixels::PixelOf;
using touchui_test::Command;
using touchui_test::RecordingTest;

namespace {

class TextFieldTest : public RecordingTest {
protected:
    void SetUp() override {
        RecordingTest::SetUp();
        field_.reset(new TextField(NULL, hwnd(), 120));
        field_->SetBounds(0, 0, 120, 30);
        field_->SetFocused(1);
        Commands();
    }
    TextField& f() { return *field_; }
    std::vector<int> Codes() {
        std::vector<int> codes;
        for (const Command& c : Commands()) {
            EXPECT_EQ(c.id, 120);
            EXPECT_EQ(c.control, field_.get());
            codes.push_back(c.code);
        }
        return codes;
    }
    std::unique_ptr<TextField> field_;
};

TEST_F(TextFieldTest, TypingChangesTheTextAsAKeyboardUserExpects) {
    const wchar_t kFamily[] = L"\U0001F468\u200D\U0001F469\u200D\U0001F467";
    struct Case {
        const char* what;
        int maxLength;
        std::wstring before;
        std::vector<UINT> typed;
        std::wstring after;
        std::vector<int> reported;
    };
    const Case cases[] = {
        {"letters append",
         0,
         L"",
         {'H', 'i', '!'},
         L"Hi!",
         {TextChanged, TextChanged, TextChanged}},
        {"control characters are ignored", 0, L"a", {0x01, 0x09, 0x0A, 0x1B, 0x7F, 0x85}, L"a", {}},
        {"non-characters and separators are ignored",
         0,
         L"a",
         {0xFFFF, 0x2028, 0x110000},
         L"a",
         {}},
        {"backspace removes the last letter", 0, L"ab", {0x08}, L"a", {TextChanged}},
        {"backspace on nothing does nothing", 0, L"", {0x08}, L"", {}},
        {"a letter goes with its accent", 0, L"ae\u0301", {0x08}, L"a", {TextChanged}},
        {"a vowel sign goes with its consonant", 0, L"\u0915\u093F", {0x08}, L"", {TextChanged}},
        {"an emoji goes with its skin tone",
         0,
         L"a\U0001F44D\U0001F3FD",
         {0x08},
         L"a",
         {TextChanged}},
        {"joined emoji go as one", 0, std::wstring(L"a") + kFamily, {0x08}, L"a", {TextChanged}},
        {"a flag goes as one of a pair",
         0,
         L"\U0001F1EB\U0001F1F7\U0001F1E9\U0001F1EA",
         {0x08},
         L"\U0001F1EB\U0001F1F7",
         {TextChanged}},
        {"Hangul jamo go as a syllable", 0, L"a\u1100\u1161\u11A8", {0x08}, L"a", {TextChanged}},
        {"Enter reports and keeps the text", 0, L"word", {0x0D}, L"word", {Entered}},
        {"the maximum length stops typing",
         3,
         L"",
         {'a', 'b', 'c', 'd'},
         L"abc",
         {TextChanged, TextChanged, TextChanged}},
        {"a surrogate pair makes one character",
         0,
         L"",
         {0xD83D, 0xDC4D},
         L"\U0001F44D",
         {TextChanged}},
        {"a lone surrogate half is dropped", 0, L"", {0xDC4D, 0xD83D, 'x'}, L"x", {TextChanged}},
        {"right-to-left text types the same",
         0,
         L"\u05E9\u05DC",
         {0x05D5, 0x05DD},
         L"\u05E9\u05DC\u05D5\u05DD",
         {TextChanged, TextChanged}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        f().Clear();
        f().SetMaxLength(c.maxLength ? c.maxLength : TextField::TextCapacity - 1);
        f().SetText(c.before.c_str());
        for (UINT ch : c.typed)
            f().OnChar(ch);
        EXPECT_EQ(std::wstring(f().GetText()), c.after);
        EXPECT_EQ(Codes(), c.reported);
    }
}

TEST_F(TextFieldTest, OnlyAFocusedEnabledFieldTakesCharacters) {
    f().SetFocused(0);
    EXPECT_EQ(f().OnChar('a'), 0);
    EXPECT_EQ(f().OnChar(0x0D), 0);
    f().SetFocused(1);
    f().SetEnabled(0);
    EXPECT_EQ(f().OnChar('a'), 0);
    f().SetEnabled(1);
    EXPECT_EQ(f().OnChar('a'), 1);
    EXPECT_EQ(std::wstring(f().GetText()), L"a");
    // Typing repaints the field, as a touch repaints what it changes.
    window().Pump(0);
    EXPECT_EQ(window().Count(WM_PAINT), 1);
    EXPECT_EQ(Codes(), (std::vector<int>{TextChanged}));
}

TEST_F(TextFieldTest, ATapAsksForTheFocusAndASlideOffDoesNot) {
    f().SetFocused(0);
    EXPECT_EQ(f().TouchDown(hwnd(), 0, 10, 10), 1);
    EXPECT_EQ(f().TouchMove(hwnd(), 0, 12, 10), 1);
    EXPECT_EQ(f().TouchUp(hwnd(), 0, 12, 10), 1);
    EXPECT_EQ(Codes(), (std::vector<int>{FocusRequested}));
    EXPECT_EQ(f().IsFocused(), 0) << "the page gives the focus";

    f().TouchDown(hwnd(), 0, 10, 10);
    EXPECT_EQ(f().TouchMove(hwnd(), 0, 200, 10), 1);
    EXPECT_EQ(f().TouchMove(hwnd(), 0, 10, 10), 0);
    EXPECT_EQ(f().TouchUp(hwnd(), 0, 10, 10), 0);
    EXPECT_EQ(f().TouchDown(hwnd(), 0, 120, 10), 0) << "right edge";
    f().TouchDown(hwnd(), 0, 10, 10);
    f().CancelTouch(hwnd());
    EXPECT_EQ(f().TouchUp(hwnd(), 0, 10, 10), 0);
    EXPECT_EQ(Codes(), (std::vector<int>{Cancelled}));
    f().RequestFocus();
    EXPECT_EQ(Codes(), (std::vector<int>{FocusRequested}));
}

TEST(UnicodeText, ALineRunsTheWayItsFirstStrongCharacterDoes) {
    struct Case {
        const wchar_t* text;
        bool rtl;
    };
    const Case cases[] = {
        {L"", false},
        {L"Hello", false},
        {L"\u05E9\u05DC\u05D5\u05DD", true},
        {L"123 \u05E9\u05DC\u05D5\u05DD", true},
        {L"\U0001F600 \u0645\u0631\u062D\u0628\u0627", true},
        {L"\u0661\u0662 abc", false},
        {L"(abc) \u05E9", false},
        {L"\u00E9t\u00E9", false},
        {L"\u4F60\u597D", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsRightToLeftText(c.text), c.rtl) << static_cast<int>(c.text[0]);
}

// ---- Painting ---------------------------------------------------------------------------------

const uint32_t kCanary = 0x00FF00FF;

class TextFieldPaint : public TextFieldTest {
protected:
    void SetUp() override {
        TextFieldTest::SetUp();
        LOGFONT lf = {};
        lf.lfHeight = 16;
        font_ = CreateFontIndirect(&lf);
        f().SetFont(font_);
        f().SetFocused(0);
    }
    void TearDown() override {
        DeleteObject(font_);
        TextFieldTest::TearDown();
    }
    // The field painted on a canary background, one row of pixels per y.
    std::vector<std::vector<uint32_t>> Paint() {
        surface_.Fill(kCanary);
        f().Paint(surface_.dc);
        std::vector<std::vector<uint32_t>> rows(surface_.h);
        for (int y = 0; y < surface_.h; ++y)
            for (int x = 0; x < surface_.w; ++x)
                rows[y].push_back(surface_.At(x, y));
        return rows;
    }
    // Columns whose pixels differ between two paintings, inside the frame.
    static std::vector<int> Differing(const std::vector<std::vector<uint32_t>>& a,
                                      const std::vector<std::vector<uint32_t>>& b) {
        std::vector<int> columns;
        for (int x = 1; x < 119; ++x) {
            for (int y = 1; y < 29; ++y) {
                if (a[y][x] != b[y][x]) {
                    columns.push_back(x);
                    break;
                }
            }
        }
        return columns;
    }
    // The columns that are the caret: the frame's focused colour from top to bottom of the line.
    std::vector<int> CaretColumns(const std::vector<std::vector<uint32_t>>& p) const {
        std::vector<int> columns;
        const uint32_t caret = PixelOf(f_const().focusedFrameColor);
        for (int x = 1; x < 119; ++x) {
            int run = 0;
            for (int y = 1; y < 29; ++y)
                run += p[y][x] == caret;
            if (run >= 12)
                columns.push_back(x);
        }
        return columns;
    }
    const TextField& f_const() const { return *field_; }

    HFONT font_ = NULL;
    pixels::Surface surface_{130, 40, pixels::Surface::WindowDc};
};

TEST_F(TextFieldPaint, TheFrameShowsTheFocusAndNothingSpillsOutOfTheField) {
    auto unfocused = Paint();
    EXPECT_EQ(unfocused[0][0], PixelOf(f().frameColor));
    EXPECT_EQ(unfocused[29][119], PixelOf(f().frameColor));
    EXPECT_EQ(unfocused[1][1], PixelOf(f().fillTop));
    EXPECT_TRUE(CaretColumns(unfocused).empty());
    f().SetFocused(1);
    auto focused = Paint();
    EXPECT_EQ(focused[0][0], PixelOf(f().focusedFrameColor));
    EXPECT_EQ(focused[15][119], PixelOf(f().focusedFrameColor));
    EXPECT_EQ(CaretColumns(focused), (std::vector<int>{6})) << "at the start of an empty line";
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 130; ++x)
            if (x >= 120 || y >= 30) {
                ASSERT_EQ(focused[y][x], kCanary) << x << "," << y;
            }
}

TEST_F(TextFieldPaint, ThePlaceholderShowsOnlyWhileTheFieldIsEmpty) {
    const auto bare = Paint();
    f().SetPlaceholder(L"Caption");
    const auto hinted = Paint();
    auto count = [](const std::vector<std::vector<uint32_t>>& p, uint32_t colour) {
        int n = 0;
        for (const auto& row : p)
            for (uint32_t v : row)
                n += v == colour;
        return n;
    };
    EXPECT_GT(count(hinted, PixelOf(f().placeholderColor)), 10);
    EXPECT_FALSE(Differing(bare, hinted).empty());
    f().SetText(L"a");
    const auto typed = Paint();
    EXPECT_EQ(count(typed, PixelOf(f().placeholderColor)), 0);
    EXPECT_GT(count(typed, 0x00FFFFFF), 0) << "the text in its colour";
}

// The caret sits right after the last letter of a left-to-right line, and left of a
// right-to-left one, which lines up on the right.
TEST_F(TextFieldPaint, TheCaretMarksTheEndOfTheText) {
    struct Case {
        const wchar_t* text;
        bool rtl;
    };
    for (const Case& c : {Case{L"Hi", false}, Case{L"\u05E9\u05DC\u05D5\u05DD", true}}) {
        SCOPED_TRACE(c.rtl ? "right to left" : "left to right");
        f().Clear();
        const auto bare = Paint();
        f().SetText(c.text);
        const std::vector<int> ink = Differing(bare, Paint());
        ASSERT_FALSE(ink.empty());
        f().SetFocused(1);
        const std::vector<int> caret = CaretColumns(Paint());
        f().SetFocused(0);
        ASSERT_EQ(caret.size(), 1u);
        if (c.rtl) {
            EXPECT_LT(caret[0], ink.front());
            EXPECT_LE(ink.front() - caret[0], 3);
            EXPECT_GE(ink.back(), 110) << "lined up on the right, inside the margin";
            EXPECT_LT(ink.back(), 114);
        } else {
            EXPECT_GT(caret[0], ink.back());
            EXPECT_LE(caret[0] - ink.back(), 3);
            EXPECT_GE(ink.front(), 6);
            EXPECT_LT(ink.front(), 10);
        }
    }
}

TEST_F(TextFieldPaint, ATextTooLongShowsItsEndBesideTheCaret) {
    f().SetFocused(1);
    const std::wstring middle(40, L'm');
    f().SetText((L"B" + middle + L"xy").c_str());
    const auto first = Paint();
    f().SetText((L"C" + middle + L"xy").c_str());
    EXPECT_TRUE(Differing(first, Paint()).empty()) << "the start is cut";
    f().SetText((L"B" + middle + L"yx").c_str());
    const std::vector<int> changed = Differing(first, Paint());
    ASSERT_FALSE(changed.empty()) << "the end shows";
    const std::vector<int> caret = CaretColumns(first);
    ASSERT_EQ(caret.size(), 1u);
    EXPECT_LT(caret[0], 114);
    EXPECT_LT(changed.back(), caret[0]);
    EXPECT_GT(changed.front(), 80);
}

}  // namespace
