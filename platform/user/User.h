// What the rest of the platform (main, the devices, the shell, test support) needs of the user
// layer beyond the public window API.
#pragma once

#include <chrono>
#include <string>

#include "platform/device/Device.h"
#include "platform/kernel/Clock.h"
#include "platform/win32.h"

namespace platform::user {

// The sink a device is opened with: turns its events into messages for the device's window
// (the most recently created top-level window that still exists).
DeviceSink* UserDeviceSink();

// Any thread: asks the device's window to close (WM_CLOSE). Asked before there is one, the
// window created next is closed as soon as its loop runs.
void RequestClose();

// Turns SIGTERM, SIGINT and SIGHUP into RequestClose (a signal ignored at start stays ignored);
// another of them while closing ends the process at once, as the signal would have. Once.
// The calling thread, and every thread it starts afterwards, blocks them from then on, so call it
// before any other thread starts; programs started later unblock them again (Process.cpp).
void CloseOnSignals();

// Runs the calling thread's message loop until the device clock reaches `deadline` or WM_QUIT
// is retrieved (returns false then, with the exit code in *exitCode when given).
bool PumpMessagesUntil(TimeNs deadline, int* exitCode = nullptr);

// Windows find each other across processes only within one scope: main sets it to the settings
// folder, so that separate configurations, such as tests running side by side, are separate
// installations that do not find each other.
void SetInstanceScope(const std::string& scope);

// Another process holds this settings folder and may still be starting (main found its lock
// taken): FindWindow waits up to `patience` for that process's window, and this process makes no
// top-level window of its own, so it never runs beside the other.
void YieldToRunningInstance(std::chrono::milliseconds patience);
// True once SetForegroundWindow has reached another process's window.
bool RaisedRunningInstance();

// The emulated display orientation (DMDO_*) kept by ChangeDisplaySettingsEx.
int DisplayOrientation();
void SetDisplayOrientation(int orientation);

// The shell's full-screen state: SHFS_* flags as last applied, one of each show/hide pair.
// SHFullScreen applies a request through ApplyShellFullScreen, which tells the device.
DWORD ShellFullScreenState();
void ApplyShellFullScreen(DWORD request);
// Back to the start state (task bar, input-panel button and start icon shown).
void ResetShellFullScreen();

}  // namespace platform::user
