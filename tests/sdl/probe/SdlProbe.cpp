// A window on the SDL device that prints what reaches it, one line per event, for tests/sdl.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/device/Device.h"
#include "platform/device/sdl/SdlDevice.h"

namespace {

class PrintingSink : public platform::DeviceSink {
public:
    void PenInput(UINT message, int x, int y) override {
        const char* name = message == WM_LBUTTONDOWN ? "WM_LBUTTONDOWN"
                           : message == WM_LBUTTONUP ? "WM_LBUTTONUP"
                                                     : "WM_MOUSEMOVE";
        Print("%s %d %d", name, x, y);
    }
    void FocusChanged(bool active) override { Print("focus %d", active ? 1 : 0); }
    void CloseRequested() override {
        Print("close");
        closing = true;
    }
    void RaiseRequested() override { Print("raise"); }
    void RepaintRequested() override { Print("repaint"); }

    bool closing = false;

private:
    template <typename... Args>
    void Print(const char* format, Args... args) {
        std::printf(format, args...);
        std::printf("\n");
        std::fflush(stdout);
    }
};

}  // namespace

int main(int argc, char** argv) {
    platform::DeviceOptions options;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--screen") && i + 1 < argc) {
            std::sscanf(argv[++i], "%dx%d", &options.screenWidth, &options.screenHeight);
            options.screenGiven = true;
        }
    }
    auto device = platform::CreateSdlDevice(options);
    PrintingSink sink;
    std::string error;
    if (!device->Open(&sink, &error)) {
        std::fprintf(stderr, "sdl_probe: %s\n", error.c_str());
        return 1;
    }
    int w = device->ScreenWidth();
    int h = device->ScreenHeight();
    device->WindowCreated(L"Pulsor", nullptr);
    device->WindowMoved(0, 0, w, h);
    std::vector<uint32_t> pixels(static_cast<size_t>(w) * h, 0x00336699);
    device->Present(pixels.data(), w, h, w * 4);
    std::printf("ready %d %d\n", w, h);
    std::fflush(stdout);
    while (!sink.closing)
        device->WaitForEvents(platform::kNever, [] { return false; });
    device->Close();
    return 0;
}
