// A program on the SDL device, built like Pulsor's shell: one instance per class and title, one
// top-level window whose procedure prints the messages the tests look for, one line each. It
// takes dropped files; F1 turns text input on, F2 off, and D makes SDL report two files
// dropped on it (as a file manager's drag and drop would).
//
//   sdl_probe [--screen WxH] [--class NAME] [--title TEXT] [--script FILE] [--shots DIR]
//             [--fullscreen 1]
#include <SDL.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/device/Device.h"
#include "platform/device/Script.h"
#include "platform/device/ScriptedDevice.h"
#include "platform/device/sdl/SdlDevice.h"
#include "platform/kernel/Clock.h"
#include "platform/user/User.h"
#include "platform/win32.h"

namespace {

void Print(const char* format, long a = 0, long b = 0) {
    std::printf(format, a, b);
    std::printf("\n");
    std::fflush(stdout);
}

// What SDL's drag-and-drop support reports for files let go over the window.
void PushDrop(const std::vector<const char*>& files) {
    SDL_Window* window = SDL_GetKeyboardFocus();
    SDL_Event event{};
    event.drop.windowID = window ? SDL_GetWindowID(window) : 0;
    event.type = SDL_DROPBEGIN;
    SDL_PushEvent(&event);
    for (const char* file : files) {
        event.type = SDL_DROPFILE;
        event.drop.file = SDL_strdup(file);
        SDL_PushEvent(&event);
    }
    event.type = SDL_DROPCOMPLETE;
    event.drop.file = nullptr;
    SDL_PushEvent(&event);
}

void PrintDrop(HDROP drop) {
    std::string line = "WM_DROPFILES";
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        wchar_t path[MAX_PATH];
        const UINT length = DragQueryFileW(drop, i, path, MAX_PATH);
        line += " " + std::string(path, path + length);  // the tests' names are ASCII
    }
    POINT at{};
    const BOOL inside = DragQueryPoint(drop, &at);
    DragFinish(drop);
    Print((line + " at %ld %ld" + (inside ? "" : " outside")).c_str(), at.x, at.y);
}

LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_KEYDOWN:
            if (wParam == VK_F1 || wParam == VK_F1 + 1) {
                SipShowIM(wParam == VK_F1 ? SIPF_ON : SIPF_OFF);
                Print(wParam == VK_F1 ? "text input on" : "text input off");
            } else if (wParam == 'D') {
                PushDrop({"/tmp/one.wav", "/tmp/two words.flac"});
            }
            Print("WM_KEYDOWN %ld", static_cast<long>(wParam));
            return 0;
        case WM_CHAR:
            Print("WM_CHAR %04lX", static_cast<long>(wParam));
            return 0;
        case WM_DROPFILES:
            PrintDrop(reinterpret_cast<HDROP>(wParam));
            return 0;
        case WM_LBUTTONDOWN:
            Print("WM_LBUTTONDOWN %ld %ld", LOWORD(lParam), HIWORD(lParam));
            return 0;
        case WM_MOUSEMOVE:
            Print("WM_MOUSEMOVE %ld %ld", LOWORD(lParam), HIWORD(lParam));
            return 0;
        case WM_LBUTTONUP:
            Print("WM_LBUTTONUP %ld %ld", LOWORD(lParam), HIWORD(lParam));
            return 0;
        case WM_ACTIVATE:
            Print("WM_ACTIVATE %ld", static_cast<long>(wParam));
            return 0;
        case WM_CLOSE:
            Print("WM_CLOSE");
            break;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window, &paint);
            RECT client;
            GetClientRect(window, &client);
            HBRUSH brush = CreateSolidBrush(RGB(0x33, 0x66, 0x99));
            FillRect(dc, &client, brush);
            DeleteObject(brush);
            EndPaint(window, &paint);
            return 0;
        }
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProc(window, message, wParam, lParam);
}

std::wstring Widen(const char* text) {
    std::wstring wide;
    for (; *text; ++text)
        wide += static_cast<wchar_t>(static_cast<unsigned char>(*text));
    return wide;
}

}  // namespace

int main(int argc, char** argv) {
    platform::DeviceOptions options;
    std::wstring className = L"PulsorClass";
    std::wstring title = L"Pulsor";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--screen")) {
            std::sscanf(argv[i + 1], "%dx%d", &options.screenWidth, &options.screenHeight);
            options.screenGiven = true;
        } else if (!std::strcmp(argv[i], "--class")) {
            className = Widen(argv[i + 1]);
        } else if (!std::strcmp(argv[i], "--title")) {
            title = Widen(argv[i + 1]);
        } else if (!std::strcmp(argv[i], "--script")) {
            options.scriptPath = argv[i + 1];
        } else if (!std::strcmp(argv[i], "--fullscreen")) {
            options.fullscreen = true;
        } else if (!std::strcmp(argv[i], "--shots")) {
            options.shotsDir = argv[i + 1];
        }
    }

    platform::Clock::Instance().SetVirtual(false);
    std::unique_ptr<platform::Device> device = platform::CreateSdlDevice(options);
    std::string error;
    if (!options.scriptPath.empty()) {
        platform::Script script;
        if (!platform::LoadScript(options.scriptPath, options.screenWidth, options.screenHeight,
                                  &script, &error)) {
            std::fprintf(stderr, "sdl_probe: %s\n", error.c_str());
            return 2;
        }
        device = std::make_unique<platform::ScriptedDevice>(std::move(device), std::move(script),
                                                            options);
    }
    if (!device->Open(platform::user::UserDeviceSink(), &error)) {
        std::fprintf(stderr, "sdl_probe: %s\n", error.c_str());
        return 1;
    }
    platform::SetCurrentDevice(std::move(device));

    if (HWND other = FindWindow(className.c_str(), title.c_str())) {
        SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(other) | 1));
        Print("raised the other instance");
        platform::SetCurrentDevice(nullptr);
        return 0;
    }

    WNDCLASS windowClass{};
    windowClass.lpfnWndProc = Proc;
    windowClass.lpszClassName = className.c_str();
    windowClass.hIcon = LoadIcon(GetModuleHandle(nullptr), MAKEINTRESOURCE(101));
    if (!RegisterClass(&windowClass))
        return 3;
    HWND window =
        CreateWindow(className.c_str(), title.c_str(), WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                     CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
    if (!window)
        return 3;
    DragAcceptFiles(window, TRUE);
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    Print("ready %ld %ld", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));

    MSG message;
    while (GetMessage(&message, nullptr, 0, 0)) {
        TranslateMessage(&message);
        DispatchMessage(&message);
    }
    platform::SetCurrentDevice(nullptr);
    return static_cast<int>(message.wParam);
}
