#include "platform/device/sdl/ScreenFit.h"

#include <algorithm>
#include <cstdint>

namespace platform {
namespace {

constexpr int kDesignDpi = 96;
constexpr int kDesignWidth = 240;  // the layout's width in 96-dpi units
constexpr int kSmallestSide = 240;
constexpr int kLargestSide = 800;

struct HandheldClass {
    int width;
    int height;
};

// Largest first, so that a tie goes to the sharper picture.
constexpr HandheldClass kPortraitClasses[] = {{480, 800}, {480, 640}, {240, 400}, {240, 320}};

// The dpi at which the design's width fills a screen `width` pixels wide.
int DesignDpi(int width) {
    return std::max(1, (kDesignDpi * width + kDesignWidth / 2) / kDesignWidth);
}

}  // namespace

FitRect Letterbox(int outW, int outH, int screenW, int screenH) {
    FitRect r{0, 0, outW, outH};
    if (screenW <= 0 || screenH <= 0 || outW <= 0 || outH <= 0)
        return r;
    if (static_cast<int64_t>(outW) * screenH <= static_cast<int64_t>(outH) * screenW) {
        r.h = static_cast<int>(static_cast<int64_t>(outW) * screenH / screenW);
    } else {
        r.w = static_cast<int>(static_cast<int64_t>(outH) * screenW / screenH);
    }
    r.x = (outW - r.w) / 2;
    r.y = (outH - r.h) / 2;
    return r;
}

ScreenFit FitScreenToDisplay(int displayW, int displayH, int givenW, int givenH, int givenDpiX,
                             int givenDpiY) {
    ScreenFit fit;
    if (givenW > 0 && givenH > 0) {
        fit.screenWidth = givenW;
        fit.screenHeight = givenH;
    } else if (displayW < displayH && displayW >= kSmallestSide && displayH <= kLargestSide) {
        fit.screenWidth = displayW;
        fit.screenHeight = displayH;
    } else {
        // A display smaller than every class keeps its own size.
        fit.screenWidth = displayW;
        fit.screenHeight = displayH;
        bool oneToOne = false;
        int64_t bestArea = 0;
        for (const HandheldClass& c : kPortraitClasses) {
            FitRect p = Letterbox(displayW, displayH, c.width, c.height);
            if (p.w < c.width || p.h < c.height)
                continue;  // it would have to shrink
            int64_t area = static_cast<int64_t>(p.w) * p.h;
            bool exact = p.w == c.width && p.h == c.height;
            if ((exact && !oneToOne) || (exact == oneToOne && area > bestArea)) {
                oneToOne = exact;
                bestArea = area;
                fit.screenWidth = c.width;
                fit.screenHeight = c.height;
            }
        }
    }
    if (givenDpiX > 0 && givenDpiY > 0) {
        fit.dpiX = givenDpiX;
        fit.dpiY = givenDpiY;
    } else {
        // A landscape screen the user asked for is designed for its shorter side.
        fit.dpiX = fit.dpiY = DesignDpi(std::min(fit.screenWidth, fit.screenHeight));
    }
    fit.picture = Letterbox(displayW, displayH, fit.screenWidth, fit.screenHeight);
    if (fit.screenWidth > 0)
        fit.scale = static_cast<double>(fit.picture.w) / fit.screenWidth;
    return fit;
}

}  // namespace platform
