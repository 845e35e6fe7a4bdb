// SPDX-License-Identifier: MIT
// Where the Windows board's start-up goes, measured inside the process up
// to the first paint of its window: the board with its own code in the
// order its wWinMain runs it, or the baseline window (--baseline).
//
//   bench_startup_parts_win32.exe [--baseline] [--hold]
//
// Prints one "phase_ms NAME X" line a phase, from the process's creation to
// its main function (loading the DLLs it imports) to the first paint, the
// total, and the time of a second paint of the whole window. The board then
// plays: a new round (the question answered Yes without a box), a call by
// a double-click on a cell, the big number closed, a later call, and once
// that is closed too, the next round (two cells to free); each a phase,
// its handler and the repaint it leaves. The baseline makes the
// same changes of screen twice: the big number shown, the cells shown
// again. After each
// phase, the time its system calls took, by kind, with their count:
// "call_ms PHASE KIND X n N". The executable's import table is pointed at
// timing wrappers before anything runs, so every call the program makes
// into those functions is counted; a call made while another is timed
// counts in its own kind only, not in both.
//
// With --hold it stops at the first paint and keeps its window until it is
// closed, for the outside probe to watch it. When the environment gives
// TABELLONE_LAUNCH_NS, the system's clock in nanoseconds since 1970 when
// the program was launched (before Wine itself started), it also prints
// "phase_ms from_launch X": from then to the first paint done, the interval
// the probe times from outside.
#include <windows.h>

// GDI+ needs the COM types first.
#include <objidl.h>

#include <commctrl.h>
#include <gdiplus.h>
#include <shlwapi.h>
#include <uxtheme.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "baseline_win32_window.h"
#include "board/tabellone.h"
#include "forms/win32/win32_form_view.h"
#include "forms/win32/win32_platform.h"
#include "platform/random.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_files.h"
#include "window/texts.h"

namespace {

double nowMs() {
    static const double perMs = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / perMs;
}

struct Kind {
    const char* name;
    double ms = 0;
    long calls = 0;
};

// The kinds, in the order they are printed.
Kind kinds[] = {{"common_controls"}, {"com"},           {"accessibility"},
                {"gdiplus_startup"}, {"font_register"}, {"font_enumerate"},
                {"font_create"},     {"dpi_monitor"},   {"register_class"},
                {"create_window"},   {"subclass"},      {"set_window_pos"},
                {"set_font"},        {"send_message"},  {"device_context"},
                {"text_metrics"},    {"set_text"},      {"enable_window"},
                {"invalidate"},      {"redraw_window"}, {"show_window"},
                {"update_window"},   {"messages"},      {"picture_decode"},
                {"picture_draw"},    {"theme"},         {"gdi_draw"},
                {"log_file"},        {"log_flush"}};

Kind* kind(const char* name) {
    for (Kind& k : kinds) {
        if (std::strcmp(k.name, name) == 0) {
            return &k;
        }
    }
    std::fprintf(stderr, "no kind %s\n", name);
    std::abort();
}

// The calls being timed, innermost last, with the time spent in calls made
// from inside them.
struct Running {
    double start;
    double nested;
};
std::vector<Running> running;

class Timed {
  public:
    explicit Timed(Kind* k) : kind_(k) { running.push_back({nowMs(), 0}); }
    ~Timed() {
        const Running self = running.back();
        running.pop_back();
        const double spent = nowMs() - self.start;
        kind_->ms += spent - self.nested;
        ++kind_->calls;
        if (!running.empty()) {
            running.back().nested += spent;
        }
    }
    Timed(const Timed&) = delete;
    Timed& operator=(const Timed&) = delete;

  private:
    Kind* kind_;
};

// A timing wrapper for one imported function of that type; Tag tells apart
// the functions that share a type.
template <typename Fn, typename Tag>
struct Hook;
template <typename R, typename... A, typename Tag>
struct Hook<R(WINAPI*)(A...), Tag> {
    static inline R(WINAPI* real)(A...) = nullptr;
    static inline Kind* kind = nullptr;
    static R WINAPI call(A... a) {
        const Timed t(kind);
        return real(a...);
    }
};

// Points the executable's import of dll!name at hook; returns the function
// it pointed at before, or nullptr if the executable does not import it.
void* patchImport(const char* dll, const char* name, void* hook) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
    const auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
         d->Name != 0; ++d) {
        if (_stricmp(reinterpret_cast<const char*>(base + d->Name), dll) != 0) {
            continue;
        }
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) {
                continue;
            }
            const auto* byName =
                reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), name) != 0) {
                continue;
            }
            DWORD old = 0;
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old);
            void* before = reinterpret_cast<void*>(slots->u1.Function);
            slots->u1.Function = reinterpret_cast<decltype(slots->u1.Function)>(hook);
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
            return before;
        }
    }
    return nullptr;
}

template <typename Fn>
Fn fromVoid(void* p) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(p));
}
template <typename Fn>
void* toVoid(Fn f) {
    return reinterpret_cast<void*>(reinterpret_cast<void (*)()>(f));
}

template <typename H>
void hook(const char* dll, const char* name, const char* kindName) {
    H::kind = kind(kindName);
    if (void* real = patchImport(dll, name, toVoid(&H::call)); real != nullptr) {
        H::real = fromVoid<decltype(H::real)>(real);
    }
}

// fn as declared in scope (:: or a namespace), imported from dll.
#define HOOK_IN(dll, scope, fn, kindName) \
    struct Tag_##fn {};                   \
    hook<Hook<decltype(&scope fn), Tag_##fn>>(dll, #fn, kindName)
#define HOOK(dll, fn, kindName) HOOK_IN(dll, ::, fn, kindName)

// WM_SETFONT counts on its own; other messages as sent messages.
using SendMessageFn = decltype(&::SendMessageW);
SendMessageFn realSendMessage = nullptr;
LRESULT WINAPI timedSendMessage(HWND h, UINT msg, WPARAM w, LPARAM l) {
    const Timed t(kind(msg == WM_SETFONT ? "set_font" : "send_message"));
    return realSendMessage(h, msg, w, l);
}

// The functions the view looks up at run time (Windows 10 and later).
struct TagDpiForWindow {};
struct TagAdjustForDpi {};
using DpiForWindowHook = Hook<UINT(WINAPI*)(HWND), TagDpiForWindow>;
using AdjustForDpiHook = Hook<BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT), TagAdjustForDpi>;
using GetProcAddressFn = decltype(&::GetProcAddress);
GetProcAddressFn realGetProcAddress = nullptr;
FARPROC WINAPI timedGetProcAddress(HMODULE module, LPCSTR name) {
    const FARPROC f = realGetProcAddress(module, name);
    if (f == nullptr || IS_INTRESOURCE(name)) {
        return f;
    }
    if (std::strcmp(name, "GetDpiForWindow") == 0) {
        DpiForWindowHook::real = fromVoid<decltype(DpiForWindowHook::real)>(toVoid(f));
        DpiForWindowHook::kind = kind("dpi_monitor");
        return fromVoid<FARPROC>(toVoid(&DpiForWindowHook::call));
    }
    if (std::strcmp(name, "AdjustWindowRectExForDpi") == 0) {
        AdjustForDpiHook::real = fromVoid<decltype(AdjustForDpiHook::real)>(toVoid(f));
        AdjustForDpiHook::kind = kind("dpi_monitor");
        return fromVoid<FARPROC>(toVoid(&AdjustForDpiHook::call));
    }
    return f;
}

void hookAll() {
    realSendMessage = fromVoid<SendMessageFn>(
        patchImport("user32.dll", "SendMessageW", toVoid(timedSendMessage)));
    realGetProcAddress = fromVoid<GetProcAddressFn>(
        patchImport("kernel32.dll", "GetProcAddress", toVoid(timedGetProcAddress)));
    HOOK("comctl32.dll", InitCommonControlsEx, "common_controls");
    HOOK("comctl32.dll", SetWindowSubclass, "subclass");
    HOOK("ole32.dll", CoInitializeEx, "com");
    HOOK("ole32.dll", CoCreateInstance, "accessibility");
    HOOK_IN("gdiplus.dll", Gdiplus::, GdiplusStartup, "gdiplus_startup");
    HOOK("gdi32.dll", AddFontMemResourceEx, "font_register");
    HOOK("gdi32.dll", EnumFontFamiliesExW, "font_enumerate");
    HOOK("gdi32.dll", CreateFontIndirectW, "font_create");
    HOOK("gdi32.dll", GetDeviceCaps, "dpi_monitor");
    HOOK("user32.dll", MonitorFromWindow, "dpi_monitor");
    HOOK("user32.dll", MonitorFromRect, "dpi_monitor");
    HOOK("user32.dll", GetMonitorInfoW, "dpi_monitor");
    HOOK("user32.dll", AdjustWindowRectEx, "dpi_monitor");
    HOOK("user32.dll", RegisterClassExW, "register_class");
    HOOK("user32.dll", CreateWindowExW, "create_window");
    HOOK("user32.dll", SetWindowPos, "set_window_pos");
    HOOK("user32.dll", GetDC, "device_context");
    HOOK("user32.dll", GetWindowDC, "device_context");
    HOOK("user32.dll", ReleaseDC, "device_context");
    HOOK("gdi32.dll", GetTextMetricsW, "text_metrics");
    HOOK("user32.dll", SetWindowTextW, "set_text");
    HOOK("user32.dll", EnableWindow, "enable_window");
    HOOK("user32.dll", InvalidateRect, "invalidate");
    HOOK("user32.dll", RedrawWindow, "redraw_window");
    HOOK("user32.dll", ShowWindow, "show_window");
    HOOK("user32.dll", UpdateWindow, "update_window");
    HOOK("user32.dll", PeekMessageW, "messages");
    HOOK("user32.dll", DispatchMessageW, "messages");
    HOOK("shlwapi.dll", SHCreateMemStream, "picture_decode");
    HOOK_IN("gdiplus.dll", Gdiplus::DllExports::, GdipCreateBitmapFromStream, "picture_decode");
    HOOK_IN("gdiplus.dll", Gdiplus::DllExports::, GdipCreateFromHDC, "picture_draw");
    HOOK_IN("gdiplus.dll", Gdiplus::DllExports::, GdipDrawImageRectRectI, "picture_draw");
    HOOK_IN("gdiplus.dll", Gdiplus::DllExports::, GdipDeleteGraphics, "picture_draw");
    HOOK("uxtheme.dll", OpenThemeData, "theme");
    HOOK("uxtheme.dll", DrawThemeBackground, "theme");
    HOOK("uxtheme.dll", DrawThemeParentBackground, "theme");
    HOOK("user32.dll", FillRect, "gdi_draw");
    HOOK("user32.dll", DrawEdge, "gdi_draw");
    HOOK("user32.dll", DrawTextW, "gdi_draw");
    // The round log: opening, locking, appending, and its flush to disk.
    HOOK("kernel32.dll", CreateFileW, "log_file");
    HOOK("kernel32.dll", LockFileEx, "log_file");
    HOOK("kernel32.dll", UnlockFileEx, "log_file");
    HOOK("kernel32.dll", WriteFile, "log_file");
    HOOK("kernel32.dll", GetFileSizeEx, "log_file");
    HOOK("kernel32.dll", SetFilePointerEx, "log_file");
    HOOK("kernel32.dll", FlushFileBuffers, "log_flush");
}

// Milliseconds since the process was created, by the system's clock.
double sinceProcessStart() {
    FILETIME created;
    FILETIME exited;
    FILETIME kernel;
    FILETIME user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    auto ticks = [](const FILETIME& t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32U) | t.dwLowDateTime;
    };
    return static_cast<double>(ticks(now) - ticks(created)) / 1e4;
}

// Prints each phase's time, and the time of each kind of call in it.
class Phases {
  public:
    Phases() : beforeMain_(sinceProcessStart()), start_(nowMs()), last_(start_) {
        std::printf("phase_ms before_main %.2f\n", beforeMain_);
        mark();
    }
    void operator()(const char* name) {
        const double now = nowMs();
        std::printf("phase_ms %s %.2f\n", name, now - last_);
        for (std::size_t i = 0; i < std::size(kinds); ++i) {
            const Kind& k = kinds[i];
            if (k.calls != seen_[i].calls) {
                std::printf("call_ms %s %s %.2f n %ld\n", name, k.name, k.ms - seen_[i].ms,
                            k.calls - seen_[i].calls);
            }
        }
        mark();
        last_ = nowMs();
    }
    // Starts the next phase here, what went before it not told.
    void skip() {
        mark();
        last_ = nowMs();
    }
    // From the process's creation, and from its launch if known, to the
    // first paint.
    void total() const {
        std::printf("phase_ms total %.2f\n", beforeMain_ + nowMs() - start_);
        if (const char* launch = std::getenv("TABELLONE_LAUNCH_NS"); launch != nullptr) {
            FILETIME now;
            GetSystemTimePreciseAsFileTime(&now);
            const auto ticks =
                (static_cast<unsigned long long>(now.dwHighDateTime) << 32U) | now.dwLowDateTime;
            // 100 ns ticks since 1601 to nanoseconds since 1970.
            const double ns = static_cast<double>(ticks - 116444736000000000ULL) * 100.0;
            std::printf("phase_ms from_launch %.2f\n", (ns - std::strtod(launch, nullptr)) / 1e6);
        }
        std::fflush(stdout);
    }

  private:
    void mark() {
        for (std::size_t i = 0; i < std::size(kinds); ++i) {
            seen_[i] = kinds[i];
        }
    }
    double beforeMain_;
    double start_;
    double last_;
    Kind seen_[std::size(kinds)];
};

// Dispatches what is queued, painting included, until nothing is left.
void pump() {
    MSG msg{};
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) != 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// A press, and a double-press, at the middle of a control, as the window
// reports them, then everything they leave to do.
forms::Point centreOf(const forms::Form& form, const forms::Control& c) {
    const forms::Rect r = form.windowRect(c);
    return {r.left + r.width / 2, r.top + r.height / 2};
}

void clickOn(forms::Form& form, const forms::Control& c) {
    form.pointerPress(centreOf(form, c));
    form.pointerRelease(centreOf(form, c));
    pump();
}

void doubleClickOn(forms::Form& form, const forms::Control& c) {
    form.pointerPress(centreOf(form, c));
    form.pointerRelease(centreOf(form, c));
    form.pointerDoublePress(centreOf(form, c));
    form.pointerRelease(centreOf(form, c));
    pump();
}

// Says Yes to the new round, with no box.
struct Yes : platform::Question {
    Answer ask(const std::string& /*prompt*/, const std::string& /*title*/) override {
        return Answer::Yes;
    }
};

// Shows the window and paints it; then paints it all once more, which
// tells what the first paint spent on first-use work (fonts, themes,
// pictures) from what any paint of the window costs. When held, it keeps
// the window as first painted until it is closed instead, and returns
// false.
bool showAndPaint(HWND window, const std::function<void()>& show, Phases& phase, bool hold) {
    show();
    pump();
    phase("show_and_paint");
    phase.total();
    if (hold) {
        MSG msg{};
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        return false;
    }
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    pump();
    phase("second_paint");
    return true;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR commandLine,
                    int /*showCommand*/) {
    hookAll();
    const bool baselineMode = std::wcsstr(commandLine, L"--baseline") != nullptr;
    const bool hold = std::wcsstr(commandLine, L"--hold") != nullptr;
    Phases phase;
    if (baselineMode) {
        const HWND window = baseline::build(instance);
        phase("window");
        if (!showAndPaint(
                window,
                [&] {
                    ShowWindow(window, SW_SHOWNORMAL);
                    UpdateWindow(window);
                },
                phase, hold)) {
            return 0;
        }
        // The board's changes of screen at a call and when its big number
        // closes, twice.
        for (const char* name : {"first", "later"}) {
            baseline::showBig(window, 45);
            pump();
            phase((std::string(name) + "_big_number").c_str());
            baseline::showCells(window);
            pump();
            phase((std::string(name) + "_cells_again").c_str());
        }
        DestroyWindow(window);
        return 0;
    }

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    phase("common_controls");
    const winforms::ComApartment com;
    phase("com");
    const winforms::PictureDecoder pictures;
    phase("gdiplus");
    winforms::registerEmbeddedFonts();
    phase("embedded_fonts");

    platform::Win32Clock clock;
    platform::SeededRandom random;
    platform::Win32AppFolder folder;
    platform::Win32FileSystem files;
    winforms::useBoxTexts(window::kBoxTexts);
    winforms::Win32FatalReport fatal;
    Yes question;
    board::Tabellone tabellone({question, fatal, random, clock, folder, files});
    phase("form_model");

    fatal.setOwner(nullptr);
    tabellone.form().load();
    if (tabellone.form().failed()) {
        return 1;
    }
    phase("load");

    winforms::Win32FormView view(tabellone.form(), instance);
    fatal.setOwner(view.hwnd());
    phase("view");
    if (!showAndPaint(
            view.hwnd(), [&] { view.show(SW_SHOWNORMAL); }, phase, hold)) {
        return 0;
    }

    forms::Form& form = tabellone.form();
    clickOn(form, form.control("nuova"));
    phase("new_round");
    doubleClickOn(form, form.control("num", 44));
    phase("first_call");
    doubleClickOn(form, form.control("estratto"));
    phase("big_number_closed");
    doubleClickOn(form, form.control("num", 45));
    phase("later_call");
    doubleClickOn(form, form.control("estratto"));
    phase.skip();
    clickOn(form, form.control("nuova"));
    phase("next_round");
    tabellone.form().unload();
    return 0;
}
