// Which screen the program gets on a display, and where that screen's picture lies on it.
//
// Full screen gives the program a portrait handheld screen: a portrait display with both sides
// within 240..800 is used as it is, at the dpi that makes the 240-unit design fill its width.
// Any other display shows an emulated portrait screen of a handheld class (240x320, 240x400 at
// 96 dpi; 480x640, 480x800 at 192 dpi), centred with black bars: a class that fits 1:1 and
// touches two opposite edges of the display is taken first; otherwise the class whose picture,
// scaled up to fit, is the largest (the sharper, larger class on a tie). A picture is never
// scaled down; a display smaller than every class is used as it is.
#pragma once

namespace platform {

struct FitRect {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
};

// The largest rectangle of the screen's aspect centred in an area of outW x outH.
FitRect Letterbox(int outW, int outH, int screenW, int screenH);

struct ScreenFit {
    int screenWidth = 0;
    int screenHeight = 0;
    int dpiX = 0;
    int dpiY = 0;
    FitRect picture;     // where the screen's picture lies on the display
    double scale = 1.0;  // display pixels per screen pixel
};

// The screen for a display of displayW x displayH. A screen or dpi the user gave (width or dpi
// above 0) wins over the chosen one; a given screen is fitted to the display as it is.
ScreenFit FitScreenToDisplay(int displayW, int displayH, int givenW = 0, int givenH = 0,
                             int givenDpiX = 0, int givenDpiY = 0);

}  // namespace platform
