// The slider's value rules: range, snapping, percentages and positions.
#include <gtest/gtest.h>

#include <string>

#include "touchui/Slider.h"

namespace {

std::wstring Text(const Slider& s) {
    return s.GetText();
}

// The volume slider of the settings page: 200 pixels wide at left 20, 0..100, step 10, snapping.
Slider MakeVolumeSlider() {
    Slider s(NULL, NULL, 97);
    s.SetBounds(20, 84, 200, 15);
    return s;
}

TEST(SliderValue, NewSliderHoldsZeroOfZeroToHundredInStepsOfTen) {
    Slider s(NULL, NULL, 97);
    EXPECT_EQ(s.minimum, 0);
    EXPECT_EQ(s.maximum, 100);
    EXPECT_EQ(s.step, 10);
    EXPECT_EQ(s.GetValue(), 0);
    EXPECT_EQ(s.GetPercent(), 0);
    EXPECT_EQ(Text(s), L"0 %");
    EXPECT_EQ(s.snapToStep, 1);
    EXPECT_EQ(s.showText, 1);
    EXPECT_EQ(s.readOnly, 0);
}

TEST(SliderValue, SetValueSnapsUpToTheStepAndRejectsValuesOutsideTheRange) {
    Slider s = MakeVolumeSlider();
    s.SetValue(41, 0);
    EXPECT_EQ(s.GetValue(), 50);
    EXPECT_EQ(Text(s), L"50 %");
    s.SetValue(105, 0);
    EXPECT_EQ(s.GetValue(), 50);
    EXPECT_EQ(Text(s), L"50 %");
    s.SetValue(-1, 0);
    EXPECT_EQ(s.GetValue(), 50);
    s.SetValue(100, 0);
    EXPECT_EQ(Text(s), L"100 %");
    s.SetValue(0, 0);
    EXPECT_EQ(Text(s), L"0 %");
}

TEST(SliderValue, SnappingIsNotRecheckedAgainstTheMaximum) {
    Slider s(NULL, NULL, 1);
    s.SetRange(0, 95, 10, 0);
    s.SetValue(91, 0);
    EXPECT_EQ(s.GetValue(), 100);
    EXPECT_EQ(s.GetPercent(), 100);  // capped
}

TEST(SliderValue, WithoutSnappingTheValueIsKeptAsGiven) {
    Slider s(NULL, NULL, 38);
    s.SetRange(0, 100, 1, 0);
    s.SetSnapToStep(0);
    s.SetPercent(33, 0);
    EXPECT_EQ(s.GetValue(), 33);
    EXPECT_EQ(Text(s), L"33 %");
}

TEST(SliderValue, InvalidRangesChangeNothing) {
    Slider s = MakeVolumeSlider();
    s.SetValue(70, 0);
    s.SetRange(0, 100, 0, 0);
    s.SetRange(100, 0, 10, 0);
    s.SetRange(0, 5, 10, 0);
    s.SetRange(7, 7, 1, 0);
    EXPECT_EQ(s.minimum, 0);
    EXPECT_EQ(s.maximum, 100);
    EXPECT_EQ(s.step, 10);
    EXPECT_EQ(s.GetValue(), 70);
    EXPECT_EQ(Text(s), L"70 %");
}

TEST(SliderValue, AValidRangeMovesTheValueToItsMinimum) {
    Slider s = MakeVolumeSlider();
    s.SetValue(70, 0);
    s.SetRange(50, 150, 10, 0);
    EXPECT_EQ(s.GetValue(), 50);
    EXPECT_EQ(Text(s), L"50 %");  // measured from 0: 50 * 100 / 100
}

TEST(SliderValue, PercentIsMeasuredFromZeroAndCapped) {
    Slider s(NULL, NULL, 1);
    s.SetRange(50, 150, 10, 0);
    s.SetValue(100, 0);
    EXPECT_EQ(s.GetPercent(), 100);
    s.SetValue(70, 0);
    EXPECT_EQ(s.GetPercent(), 70);
    s.SetValue(150, 0);
    EXPECT_EQ(s.GetPercent(), 100);
}

TEST(SliderValue, SetPercentOnAnOffsetRangeIsRaisedToTheMinimum) {
    Slider s(NULL, NULL, 1);
    s.SetRange(50, 150, 10, 0);
    s.SetValue(150, 0);
    s.SetPercent(30, 0);  // 30 of a span of 100 lies below 50
    EXPECT_EQ(s.GetValue(), 50);
    s.SetPercent(80, 0);
    EXPECT_EQ(s.GetValue(), 80);
    s.SetPercent(100, 0);
    EXPECT_EQ(s.GetValue(), 100);
}

TEST(SliderValue, PercentagesAboveHundredAndNegativeOnesAreIgnored) {
    Slider s = MakeVolumeSlider();
    s.SetPercent(60, 0);
    s.SetPercent(101, 0);
    s.SetPercent(-1, 0);
    s.SetPercent(-2147483647 - 1, 0);
    EXPECT_EQ(s.GetValue(), 60);
    EXPECT_EQ(Text(s), L"60 %");
}

TEST(SliderValue, SetPercentSnapsLikeSetValue) {
    Slider s = MakeVolumeSlider();
    s.SetPercent(75, 0);
    EXPECT_EQ(s.GetValue(), 80);
    EXPECT_EQ(Text(s), L"80 %");
}

TEST(SliderValue, PositionsOnTheTwoHundredPixelSlider) {
    Slider s = MakeVolumeSlider();
    struct Case {
        int x, value;
        const wchar_t* text;
    } cases[] = {
        {20, 0, L"0 %"},      {120, 50, L"50 %"},
        {121, 50, L"50 %"},   {122, 60, L"60 %"},  // 51 snapped up
        {219, 100, L"100 %"},                      // 99 snapped up
    };
    for (const Case& c : cases) {
        s.SetValueFromX(c.x, 0);
        EXPECT_EQ(s.GetValue(), c.value) << "x = " << c.x;
        EXPECT_EQ(Text(s), c.text) << "x = " << c.x;
    }
}

TEST(SliderValue, PositionsFarOutsideKeepTheLastValue) {
    Slider s = MakeVolumeSlider();
    s.SetValueFromX(120, 0);
    s.SetValueFromX(0, 0);  // 100 * -20 / 200 = -10
    EXPECT_EQ(s.GetValue(), 50);
    s.SetValueFromX(240, 0);  // 100 * 220 / 200 = 110
    EXPECT_EQ(s.GetValue(), 50);
    s.SetValueFromX(220, 0);  // the first pixel right of it still gives 100
    EXPECT_EQ(s.GetValue(), 100);
}

TEST(SliderValue, PositionsOnAnOffsetRangeAreMeasuredFromZero) {
    Slider s = MakeVolumeSlider();
    s.SetRange(50, 150, 10, 0);
    s.SetValueFromX(60, 0);  // 100 * 40 / 200 = 20, below the range
    EXPECT_EQ(s.GetValue(), 50);
    s.SetValueFromX(180, 0);  // 80
    EXPECT_EQ(s.GetValue(), 80);
    s.SetValueFromX(219, 0);  // 99 -> 100
    EXPECT_EQ(s.GetValue(), 100);
}

TEST(SliderValue, ExtremeBoundsDoNotOverflow) {
    Slider s(NULL, NULL, 1);
    s.SetBounds(0, 0, 200, 10);
    s.SetRange(-2147483647 - 1, 2147483647, 1, 0);
    EXPECT_EQ(s.GetValue(), -2147483647 - 1);
    EXPECT_EQ(s.GetPercent(), 0);
    s.SetSnapToStep(0);
    s.SetPercent(100, 0);
    EXPECT_EQ(s.GetValue(), 2147483647);
    EXPECT_EQ(s.GetPercent(), 49);  // 2^31 - 1 of a span of 2^32 - 1
    s.SetValueFromX(100, 0);
    EXPECT_EQ(s.GetValue(), 2147483647);  // half of the 2^32 - 1 span from 0
    s.SetValueFromX(0, 0);
    EXPECT_EQ(s.GetValue(), 0);

    Slider big(NULL, NULL, 2);
    big.SetRange(0, 2147483647, 1000, 0);
    big.SetValue(2147483600, 0);  // the next multiple of 1000 does not fit: kept as given
    EXPECT_EQ(big.GetValue(), 2147483600);
    EXPECT_EQ(big.GetPercent(), 99);
}

TEST(SliderValue, AZeroWidthSliderIgnoresPositions) {
    Slider s(NULL, NULL, 1);
    s.SetBounds(10, 10, 0, 10);
    s.SetValue(30, 0);
    s.SetValueFromX(10, 0);
    EXPECT_EQ(s.GetValue(), 30);
}

}  // namespace

TEST(SliderValue, StepUpMovesATenthAndWrapsFromTheTop) {
    struct Case {
        int min, max, step, from;
        int expected;
    };
    const Case cases[] = {
        {0, 100, 1, 0, 10}, {0, 100, 1, 95, 100},       {0, 100, 1, 100, 0},        {0, 4, 1, 3, 4},
        {0, 4, 1, 4, 0},    {0, 9750, 250, 1250, 2250}, {0, 9750, 250, 9500, 9750},
    };
    for (const Case& c : cases) {
        Slider s(NULL, NULL, 1);
        s.SetRange(c.min, c.max, c.step, 0);
        s.SetValue(c.from, 0);
        s.StepUp();
        EXPECT_EQ(s.GetValue(), c.expected) << c.min << ".." << c.max << " from " << c.from;
    }
    Slider readOnly(NULL, NULL, 1);
    readOnly.SetReadOnly(1);
    readOnly.SetValue(50, 0);
    readOnly.StepUp();
    EXPECT_EQ(readOnly.GetValue(), 50);
}
