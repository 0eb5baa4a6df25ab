// Read by ThreadSanitizer's runtime (and by nothing else). libpulse, under SDL's audio and under
// the speech synthesiser's probe of the sound server, recycles its packet memory through
// shared-memory pools and runs its mainloop with atomics that ThreadSanitizer cannot see; its
// reports from inside that library are not about this program. Third-party code only.
//
// Weak, so that every file whose code brings libpulse in can include it and one copy is kept.
#pragma once

extern "C" __attribute__((weak)) const char* __tsan_default_suppressions() {
    return "race:libpulsecommon\nrace:libpulse.so\n";
}
