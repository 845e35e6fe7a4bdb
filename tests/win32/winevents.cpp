// SPDX-License-Identifier: MIT
// A screen reader's ears, as far as Wine has them: an out-of-context
// WinEvent hook in a process of its own, printing each name change and each
// live-region change it hears, one line each: "name 0x1234" or
// "live 0x1234" with the window's handle. It runs until it is killed.
#include <windows.h>

#include <cstdio>

namespace {

// EVENT_OBJECT_LIVEREGIONCHANGED, which the headers give only to programs
// for Windows 8 and later.
constexpr DWORD kLiveRegionChanged = 0x8019;

void CALLBACK heard(HWINEVENTHOOK /*hook*/, DWORD event, HWND hwnd, LONG object, LONG /*child*/,
                    DWORD /*thread*/, DWORD /*time*/) {
    if (object != OBJID_CLIENT) {
        return;
    }
    const char* what = event == EVENT_OBJECT_NAMECHANGE ? "name"
                       : event == kLiveRegionChanged    ? "live"
                                                        : nullptr;
    if (what != nullptr) {
        std::printf("%s %p\n", what, static_cast<void*>(hwnd));
        std::fflush(stdout);
    }
}

}  // namespace

int main() {
    const HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_NAMECHANGE, kLiveRegionChanged, nullptr,
                                               heard, 0, 0, WINEVENT_OUTOFCONTEXT);
    if (hook == nullptr) {
        std::fprintf(stderr, "SetWinEventHook failed: %lu\n", GetLastError());
        return 1;
    }
    std::printf("listening\n");
    std::fflush(stdout);
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        DispatchMessageW(&msg);
    }
    UnhookWinEvent(hook);
    return 0;
}
