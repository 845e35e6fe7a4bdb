#include "forms/win32/win32_form_view.h"

#include <commctrl.h>
#include <shlwapi.h>
#include <uxtheme.h>
#include <vsstyle.h>
#include <windowsx.h>

// GDI+ through its flat API: the C++ wrappers are header-only code that
// this file does not need.
#include <gdiplus.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cwctype>
#include <set>
#include <stdexcept>

#include "forms/win32/win32_files.h"

namespace winforms {

using forms::Control;
using forms::Kind;
using forms::Property;
using forms::widen;
namespace gdip = Gdiplus::DllExports;

namespace {

constexpr const wchar_t* kWindowClass = L"TabelloneWindow";
constexpr const wchar_t* kFrameClass = L"TabelloneFrame";
constexpr const wchar_t* kPictureClass = L"TabellonePicture";
// Posted once after the first show: the form's Activate.
constexpr UINT kActivateMessage = WM_APP + 1;
// Posted when a live control changes: its announcement, once the handler
// that changed it is done (wParam: the control's window).
constexpr UINT kAnnounceMessage = WM_APP + 2;
// UI Automation's LiveSetting property, set as a dynamic annotation, and its
// Assertive value: NVDA and Narrator read out a live region's name when it
// raises EVENT_OBJECT_LIVEREGIONCHANGED. MinGW's headers have neither.
constexpr GUID kLiveSettingProperty{
    0xc12bcd8e, 0x2a8e, 0x4950, {0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d, 0x58, 0xeb}};
constexpr LONG kLiveAssertive = 2;
// EVENT_OBJECT_LIVEREGIONCHANGED, which the headers give only to programs
// for Windows 8 and later; Windows 7 passes it on unheard.
constexpr DWORD kLiveRegionChanged = 0x8019;
// Resizable and maximizable: the board zooms with the window.
constexpr DWORD kWindowStyle = WS_OVERLAPPEDWINDOW;
constexpr int kTwipsPerPixel = 15;

template <typename Fn>
Fn systemFunction(const wchar_t* module, const char* name) {
    const HMODULE dll = GetModuleHandleW(module);
    if (dll == nullptr) {
        return nullptr;
    }
    // Through a plain function type, the cast the compiler accepts silently.
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(dll, name)));
}

// The monitor's dots per inch for a window (Windows 10 and later), else
// the system's, else the reference 96.
UINT dpiOf(HWND hwnd) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow =
        systemFunction<GetDpiForWindowFn>(L"user32.dll", "GetDpiForWindow");
    if (getDpiForWindow != nullptr) {
        if (const UINT dpi = getDpiForWindow(hwnd); dpi != 0) {
            return dpi;
        }
    }
    const HDC dc = GetDC(hwnd);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(hwnd, dc);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

MONITORINFO monitorInfo(HMONITOR handle) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(handle, &monitor);
    return monitor;
}

MONITORINFO monitorOf(HWND hwnd) {
    return monitorInfo(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST));
}

RECT windowRectFor(int clientWidth, int clientHeight, DWORD style, UINT dpi) {
    using AdjustFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi =
        systemFunction<AdjustFn>(L"user32.dll", "AdjustWindowRectExForDpi");
    RECT r{0, 0, clientWidth, clientHeight};
    if (adjustForDpi != nullptr) {
        adjustForDpi(&r, style, FALSE, 0, dpi);
    } else {
        AdjustWindowRectEx(&r, style, FALSE, 0);
    }
    return r;
}

// The monitor's scale, reduced only as far as needed for the whole window,
// frame included, to fit the monitor's work area.
double startScaleOn(const forms::Form& form, HMONITOR monitor, UINT dpi) {
    const RECT work = monitorInfo(monitor).rcWork;
    const RECT frame = windowRectFor(0, 0, kWindowStyle, dpi);
    return forms::startScale(form, forms::Scale::forDpi(dpi).pixelsPerTwip(),
                             work.right - work.left, work.bottom - work.top,
                             frame.right - frame.left, frame.bottom - frame.top);
}

COLORREF colourOf(forms::Color c) {
    const forms::Color v = forms::resolveColor(c);
    return RGB(forms::redOf(v), forms::greenOf(v), forms::blueOf(v));
}

RECT toRect(const forms::PixelRect& r) {
    return {r.left, r.top, r.left + r.width, r.top + r.height};
}

// "stelle.gif" is the resource STELLE_GIF, "stelle@2x.png" STELLE_2X_PNG.
std::wstring resourceName(const std::string& file) {
    std::wstring name = widen(file);
    for (wchar_t& c : name) {
        c = c == L'.' || c == L'@' ? L'_' : static_cast<wchar_t>(std::towupper(c));
    }
    return name;
}

std::string_view resourceData(const wchar_t* name) {
    const HRSRC info = FindResourceW(nullptr, name, MAKEINTRESOURCEW(10));  // RT_RCDATA
    if (info == nullptr) {
        return {};
    }
    const HGLOBAL data = LoadResource(nullptr, info);
    return {static_cast<const char*>(LockResource(data)), SizeofResource(nullptr, info)};
}

BOOL CALLBACK addFont(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR /*param*/) {
    if (IS_INTRESOURCE(name) || std::wstring_view(name).substr(0, 5) != L"FONT_") {
        return TRUE;
    }
    const HRSRC info = FindResourceW(module, name, type);
    const HGLOBAL data = LoadResource(module, info);
    DWORD added = 0;
    AddFontMemResourceEx(LockResource(data), SizeofResource(module, info), nullptr, &added);
    return TRUE;
}

int CALLBACK noteFamily(const LOGFONTW* /*font*/, const TEXTMETRICW* /*metrics*/, DWORD /*type*/,
                        LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool familyInstalled(const std::wstring& family) {
    LOGFONTW query{};
    query.lfCharSet = DEFAULT_CHARSET;
    family.copy(query.lfFaceName, LF_FACESIZE - 1);
    bool found = false;
    const HDC dc = GetDC(nullptr);
    EnumFontFamiliesExW(dc, &query, noteFamily, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, dc);
    return found;
}

}  // namespace

void registerEmbeddedFonts() {
    EnumResourceNamesW(nullptr, MAKEINTRESOURCEW(10), addFont, 0);
}

PictureDecoder::PictureDecoder() {
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&token_, &input, nullptr);
}

PictureDecoder::~PictureDecoder() {
    Gdiplus::GdiplusShutdown(token_);
}

ComApartment::ComApartment() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
}

ComApartment::~ComApartment() {
    CoUninitialize();
}

// A picture as decoded from the drawing of the density in use.
struct Win32FormView::Picture {
    Gdiplus::GpImage* image = nullptr;
    UINT width = 0;
    UINT height = 0;

    Picture() = default;
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;
    ~Picture() {
        if (image != nullptr) {
            gdip::GdipDisposeImage(image);
        }
    }
};

Win32FormView::Win32FormView(forms::Form& form, HINSTANCE instance)
    : form_(form),
      instance_(instance),
      families_([](const std::string& family) { return familyInstalled(widen(family)); }) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = windowProc;
    wc.lpszClassName = kWindowClass;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    RegisterClassExW(&wc);
    wc.style = 0;
    wc.hIcon = nullptr;
    wc.lpfnWndProc = frameProc;
    wc.lpszClassName = kFrameClass;
    RegisterClassExW(&wc);
    wc.lpfnWndProc = pictureProc;
    wc.lpszClassName = kPictureClass;
    RegisterClassExW(&wc);

    hwnd_ = CreateWindowExW(0, kWindowClass, widen(form.caption()).c_str(),
                            kWindowStyle | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, this);
    if (hwnd_ == nullptr) {
        throw std::runtime_error("CreateWindowExW failed");
    }
    dpi_ = dpiOf(hwnd_);
    // Sized and scaled first, so that each control is made at its place.
    fitToScreen();
    // Screen readers' texts; without the service the controls keep the
    // system's own names.
    if (FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IAccPropServices, reinterpret_cast<void**>(&annotations_)))) {
        annotations_ = nullptr;
    }

    tip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                           WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, instance, nullptr);
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = hwnd_;
    tool.uId = 1;
    tool.lpszText = tipText_.data();
    SendMessageW(tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));

    // Stacks are listed from the top: each control created goes to the
    // bottom of its siblings, so the first stays on top.
    for (Control* c : form.children()) {
        create(*c, hwnd_);
    }
    // Focus rectangles always show: the keyboard is the form's, not the
    // dialog manager's, which would otherwise hide them until Tab is seen.
    SendMessageW(hwnd_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL),
                 0);
    form.setObserver(this);
}

Win32FormView::~Win32FormView() {
    form_.setObserver(nullptr);
    if (annotations_ != nullptr) {
        std::array<MSAAPROPID, 3> props{PROPID_ACC_NAME, PROPID_ACC_DESCRIPTION,
                                        kLiveSettingProperty};
        for (const auto& [control, h] : windows_) {
            annotations_->ClearHwndProps(h, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                         props.data(), static_cast<int>(props.size()));
        }
        annotations_->Release();
    }
    if (IsWindow(hwnd_) != 0) {
        DestroyWindow(hwnd_);
    }
    for (auto& [key, font] : fonts_) {
        DeleteObject(font);
    }
    for (auto& [colour, brush] : brushes_) {
        DeleteObject(brush);
    }
}

HWND Win32FormView::hwndFor(const Control& control) const {
    const auto it = windows_.find(&control);
    return it != windows_.end() ? it->second : nullptr;
}

void Win32FormView::create(Control& control, HWND parent) {
    const wchar_t* cls = nullptr;
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
    DWORD exStyle = 0;
    const auto centred = control.alignment == forms::Alignment::Center;
    switch (control.kind()) {
        case Kind::TextBox:
            cls = WC_EDITW;
            style |= ES_AUTOHSCROLL | ES_READONLY | ES_NOHIDESEL;
            style |= centred ? ES_CENTER
                             : (control.alignment == forms::Alignment::Right ? ES_RIGHT : ES_LEFT);
            exStyle = WS_EX_CLIENTEDGE;
            break;
        case Kind::Label:
            cls = WC_STATICW;
            style |= SS_NOPREFIX | (centred ? SS_CENTER : SS_LEFT);
            break;
        case Kind::Frame:
            cls = kFrameClass;
            style |= WS_CLIPCHILDREN;
            break;
        case Kind::CommandButton:
            cls = WC_BUTTONW;
            style |= control.style == 1 ? BS_OWNERDRAW : BS_PUSHBUTTON;
            break;
        case Kind::PictureBox:
            cls = kPictureClass;
            break;
    }
    // Made as the form has it, before the window is first shown: its text,
    // shown or hidden, enabled or not (a text box stays enabled for the
    // system, as in apply), so that nothing is changed or redrawn after.
    if (control.visible()) {
        style |= WS_VISIBLE;
    }
    if (!control.enabled() && control.kind() != Kind::TextBox) {
        style |= WS_DISABLED;
    }
    const HWND h = CreateWindowExW(exStyle, cls, widen(control.text()).c_str(), style, 0, 0, 0, 0,
                                   parent, nullptr, instance_, this);
    windows_[&control] = h;
    controls_[h] = &control;
    SetWindowSubclass(h, childProc, 0, reinterpret_cast<DWORD_PTR>(this));
    setFont(control, fontFor(control.font()), false);
    // Stacks are listed from the top: each control created goes to the
    // bottom of its siblings, so the first stays on top.
    place(control, HWND_BOTTOM);
    for (Control* c : control.children()) {
        create(*c, h);
    }
    applyAccessible(control);
    if (control.live && annotations_ != nullptr) {
        VARIANT assertive{};
        assertive.vt = VT_I4;
        assertive.lVal = kLiveAssertive;
        annotations_->SetHwndProp(h, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                  kLiveSettingProperty, assertive);
    }
}

// The name and description the form gives, as dynamic annotations: MSAA
// and UI Automation clients read them in place of the system's own.
void Win32FormView::applyAccessible(Control& control) {
    const HWND h = hwndFor(control);
    if (annotations_ == nullptr || h == nullptr) {
        return;
    }
    const forms::Accessible a = form_.accessible(control);
    const auto client = static_cast<DWORD>(OBJID_CLIENT);
    annotations_->SetHwndPropStr(h, client, CHILDID_SELF, PROPID_ACC_NAME, widen(a.name).c_str());
    annotations_->SetHwndPropStr(h, client, CHILDID_SELF, PROPID_ACC_DESCRIPTION,
                                 widen(a.description).c_str());
}

void Win32FormView::setFont(const Control& control, HFONT font, bool redraw) {
    const HWND h = hwndFor(control);
    SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw ? TRUE : FALSE);
    if (control.kind() == Kind::TextBox) {
        // The system gives a text box side margins worked out from each new
        // font, and keeps them when a later font is smaller: a number needs
        // the whole width of its cell.
        SendMessageW(h, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(0, 0));
    }
}

void Win32FormView::place(Control& control, HWND after) {
    const HWND h = windows_.at(&control);
    const forms::PixelRect r =
        forms::pixelRect(form_, control, scale_, control.container() != nullptr);
    UINT flags = SWP_NOACTIVATE | (after == nullptr ? SWP_NOZORDER : 0U);
    if (control.kind() == Kind::TextBox) {
        // Centred in its new height with the font it has, in the same move.
        pad(h, control, r.width, r.height);
        flags |= SWP_FRAMECHANGED;
    }
    SetWindowPos(h, after, r.left, r.top, r.width, r.height, flags);
}

void Win32FormView::placeAll() {
    // The font goes first: a text box centres its line in its new height.
    std::set<HFONT> used;
    for (Control* c : form_.controls()) {
        const HFONT font = fontFor(c->font());
        setFont(*c, font, false);
        place(*c);
        used.insert(font);
    }
    // Fonts of other zooms are in no control any more.
    for (auto it = fonts_.begin(); it != fonts_.end();) {
        if (used.count(it->second) == 0) {
            lineHeights_.erase(it->second);
            DeleteObject(it->second);
            it = fonts_.erase(it);
        } else {
            ++it;
        }
    }
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

void Win32FormView::fitToScreen() {
    baseScale_ = startScaleOn(form_, MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST), dpi_);
    const forms::Scale base(baseScale_, 0, 0);
    const RECT r = windowRectFor(base.x(form_.clientWidth()), base.y(form_.clientHeight()),
                                 kWindowStyle, dpi_);
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    const RECT work = monitorOf(hwnd_).rcWork;
    // Where the system put it, unless part of it is off the work area.
    RECT now;
    GetWindowRect(hwnd_, &now);
    const LONG left = std::max(work.left, std::min(now.left, work.right - width));
    const LONG top = std::max(work.top, std::min(now.top, work.bottom - height));
    SetWindowPos(hwnd_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    rescale();
}

void Win32FormView::rescale() {
    RECT client;
    GetClientRect(hwnd_, &client);
    if (client.right <= 0 || client.bottom <= 0) {
        return;  // minimized
    }
    const forms::Scale fitted = forms::fitToClient(form_, baseScale_, client.right, client.bottom);
    if (fitted.pixelsPerTwip() == scale_.pixelsPerTwip() && fitted.originX() == scale_.originX() &&
        fitted.originY() == scale_.originY()) {
        return;
    }
    scale_ = fitted;
    if (const int density = forms::pictureDensity(scale_.pixelsPerTwip(), 1.0);
        density != density_) {
        density_ = density;
        pictures_.clear();
    }
    if (windows_.empty()) {
        return;  // still being built: the controls are made at this scale
    }
    placeAll();
    if (hovered_ != nullptr) {
        updateTip(hovered_);  // its rectangle moved
    }
}

// The window is painted from the loop, after the form's Activate: painted
// before it, it would be painted twice over, the form's first changes
// (the focus, the draw button disabled) redrawing most of it again.
void Win32FormView::show(int showCommand) {
    ShowWindow(hwnd_, showCommand);
    if (!activated_) {
        activated_ = true;
        PostMessageW(hwnd_, kActivateMessage, 0, 0);
    }
}

int Win32FormView::run() {
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (takeKey(msg)) {
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

// The keys the form reacts to, taken before any control or the dialog
// manager sees them. Everything else (Alt+F4 among them) goes on as usual.
bool Win32FormView::takeKey(const MSG& msg) {
    if ((msg.message != WM_KEYDOWN && msg.message != WM_KEYUP) ||
        (msg.hwnd != hwnd_ && IsChild(hwnd_, msg.hwnd) == 0)) {
        return false;
    }
    forms::Key key{};
    switch (msg.wParam) {
        case VK_TAB:
            key = GetKeyState(VK_SHIFT) < 0 ? forms::Key::BackTab : forms::Key::Tab;
            break;
        case VK_SPACE:
            key = forms::Key::Space;
            break;
        case VK_RETURN:
            key = forms::Key::Enter;
            break;
        case VK_ESCAPE:
            key = forms::Key::Escape;
            break;
        case VK_F11:
            key = forms::Key::F11;
            break;
        default:
            return false;
    }
    if (msg.message == WM_KEYDOWN) {
        // Bit 30: the key was already down, so this press is a repeat.
        form_.keyDown(key, (static_cast<unsigned long>(msg.lParam) & (1UL << 30U)) != 0);
    } else {
        form_.keyUp(key);
    }
    return true;
}

forms::Point Win32FormView::twipsAt(LPARAM lParam) const {
    return scale_.toTwips(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
}

bool Win32FormView::inputReaches(const Control& control) const {
    for (const Control* c = &control; c != nullptr; c = c->container()) {
        if (!c->enabled()) {
            return false;
        }
    }
    return true;
}

LRESULT CALLBACK Win32FormView::windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        static_cast<Win32FormView*>(cs->lpCreateParams)->hwnd_ = hwnd;
    }
    auto* view = reinterpret_cast<Win32FormView*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (view == nullptr) {
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    try {
        return view->handle(msg, wParam, lParam);
    } catch (...) {
        // Nothing may unwind through the system's frames. The form reports
        // its own handlers' failures; this is a failure of the backend.
        PostQuitMessage(1);
        return 0;
    }
}

LRESULT Win32FormView::handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_LBUTTONDOWN:
            SetCapture(hwnd_);
            form_.pointerPress(twipsAt(lParam));
            return 0;
        case WM_LBUTTONDBLCLK:
            SetCapture(hwnd_);
            form_.pointerDoublePress(twipsAt(lParam));
            return 0;
        case WM_LBUTTONUP:
            if (GetCapture() == hwnd_) {
                ReleaseCapture();
            }
            form_.pointerRelease(twipsAt(lParam));
            return 0;
        case WM_MOUSEMOVE: {
            const forms::Point p = twipsAt(lParam);
            if (Control* c = form_.controlAt(p); c != hovered_) {
                updateTip(c);
            }
            form_.pointerMove(p);
            return 0;
        }
        case WM_SETFOCUS:
            // Back from another window: the focus returns where the form has it.
            if (Control* c = form_.focus(); c != nullptr && hwndFor(*c) != nullptr) {
                SetFocus(hwndFor(*c));
            }
            return 0;
        case kActivateMessage:
            form_.activate();
            return 0;
        case kAnnounceMessage:
            NotifyWinEvent(kLiveRegionChanged, reinterpret_cast<HWND>(wParam), OBJID_CLIENT,
                           CHILDID_SELF);
            return 0;
        case WM_CLOSE:
            form_.unload();
            DestroyWindow(hwnd_);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(form_.failed() ? 1 : 0);
            return 0;
        case WM_SIZE:
            rescale();
            return 0;
        case WM_DPICHANGED: {
            // The base scale for the new DPI; the system's suggested rect
            // keeps the window's size in proportion, and the board zooms to it.
            dpi_ = HIWORD(wParam);
            const RECT& r = *reinterpret_cast<const RECT*>(lParam);
            baseScale_ = startScaleOn(form_, MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST), dpi_);
            if (!fullScreen_) {
                SetWindowPos(hwnd_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                             SWP_NOZORDER | SWP_NOACTIVATE);
            }
            rescale();
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT:
            paintWindow();
            return 0;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORBTN:
            return controlColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        case WM_DRAWITEM:
            drawButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        default:
            return DefWindowProcW(hwnd_, msg, wParam, lParam);
    }
}

LRESULT Win32FormView::controlColour(HDC dc, HWND child) {
    const auto it = controls_.find(child);
    if (it == controls_.end()) {
        return reinterpret_cast<LRESULT>(brushFor(colourOf(form_.backColor)));
    }
    const Control& c = *it->second;
    if (c.kind() == Kind::CommandButton) {
        // The corners around a themed button show the window's colour.
        const Control* under = c.container();
        return reinterpret_cast<LRESULT>(
            brushFor(colourOf(under != nullptr ? under->backColor() : form_.backColor)));
    }
    const COLORREF back = colourOf(c.backColor());
    const bool grey = c.kind() == Kind::TextBox && !inputReaches(c);
    SetTextColor(dc, colourOf(grey ? forms::systemColor(COLOR_GRAYTEXT) : c.foreColor()));
    SetBkColor(dc, back);
    SetBkMode(dc, OPAQUE);
    return reinterpret_cast<LRESULT>(brushFor(back));
}

void Win32FormView::paintBox(HWND hwnd) {
    PAINTSTRUCT ps;
    const HDC dc = BeginPaint(hwnd, &ps);
    auto* view = reinterpret_cast<Win32FormView*>(
        GetWindowLongPtrW(GetAncestor(hwnd, GA_ROOT), GWLP_USERDATA));
    RECT r;
    GetClientRect(hwnd, &r);
    if (view != nullptr) {
        const Control* c = view->controls_.at(hwnd);
        FillRect(dc, &r, view->brushFor(colourOf(c->backColor())));
        if (c->kind() == forms::Kind::PictureBox) {
            view->paintPicture(dc, c->picture, r);
        } else {
            DrawEdge(dc, &r, EDGE_ETCHED, BF_RECT);
        }
    }
    EndPaint(hwnd, &ps);
}

LRESULT CALLBACK Win32FormView::frameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORBTN:
        case WM_DRAWITEM:
            // The controls of a frame are coloured and drawn by the window.
            return SendMessageW(GetAncestor(hwnd, GA_ROOT), msg, wParam, lParam);
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT:
            paintBox(hwnd);
            return 0;
        default:
            return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

LRESULT CALLBACK Win32FormView::pictureProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT:
            paintBox(hwnd);
            return 0;
        default:
            return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

// Every child lets the mouse through to the window, which asks the form
// where the input goes.
LRESULT CALLBACK Win32FormView::childProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                          UINT_PTR /*id*/, DWORD_PTR data) {
    switch (msg) {
        case WM_NCHITTEST:
            return HTTRANSPARENT;
        case WM_SETFOCUS:
        case WM_KILLFOCUS: {
            // A read-only text box selects nothing and has no caret; the
            // focus shows steadily, as its border in the highlight colour.
            const LRESULT r = DefSubclassProc(hwnd, msg, wParam, lParam);
            if (msg == WM_SETFOCUS) {
                SendMessageW(hwnd, EM_SETSEL, 0, 0);
                DestroyCaret();
            }
            RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
            return r;
        }
        case WM_NCCALCSIZE: {
            // A text box's client area is its line, centred between bands of
            // its back colour that the frame paints.
            const LRESULT r = DefSubclassProc(hwnd, msg, wParam, lParam);
            const int padding = reinterpret_cast<Win32FormView*>(data)->paddingOf(hwnd);
            RECT& client = wParam != 0 ? reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0]
                                       : *reinterpret_cast<RECT*>(lParam);
            client.top += padding;
            client.bottom = std::max(client.top, client.bottom - padding);
            return r;
        }
        case WM_NCPAINT: {
            const LRESULT r = DefSubclassProc(hwnd, msg, wParam, lParam);
            if (GetFocus() == hwnd && (GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0) {
                RECT outer;
                GetWindowRect(hwnd, &outer);
                OffsetRect(&outer, -outer.left, -outer.top);
                const HDC dc = GetWindowDC(hwnd);
                const int edge = GetSystemMetrics(SM_CXEDGE);
                for (int k = 0; k < edge; ++k) {
                    FrameRect(dc, &outer, GetSysColorBrush(COLOR_HIGHLIGHT));
                    InflateRect(&outer, -1, -1);
                }
                ReleaseDC(hwnd, dc);
            }
            auto* view = reinterpret_cast<Win32FormView*>(data);
            if (const int padding = view->paddingOf(hwnd); padding > 0) {
                RECT window;
                RECT client;
                GetWindowRect(hwnd, &window);
                GetClientRect(hwnd, &client);
                MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&client), 2);
                OffsetRect(&client, -window.left, -window.top);
                const HBRUSH back = view->brushFor(colourOf(view->controls_.at(hwnd)->backColor()));
                const HDC dc = GetWindowDC(hwnd);
                const RECT above{client.left, client.top - padding, client.right, client.top};
                const RECT below{client.left, client.bottom, client.right, client.bottom + padding};
                FillRect(dc, &above, back);
                FillRect(dc, &below, back);
                ReleaseDC(hwnd, dc);
            }
            return r;
        }
        case WM_NCDESTROY:
            RemoveWindowSubclass(hwnd, childProc, 0);
            reinterpret_cast<Win32FormView*>(data)->paddings_.erase(hwnd);
            break;
        default:
            break;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

void Win32FormView::paintWindow() {
    PAINTSTRUCT ps;
    const HDC dc = BeginPaint(hwnd_, &ps);
    RECT r;
    GetClientRect(hwnd_, &r);
    FillRect(dc, &r, brushFor(colourOf(form_.backColor)));
    const RECT origin{scale_.x(0), scale_.y(0), r.right, r.bottom};
    paintPicture(dc, form_.picture, origin);
    EndPaint(hwnd_, &ps);
}

Win32FormView::Picture* Win32FormView::picture(const std::string& name) {
    if (name.empty()) {
        return nullptr;
    }
    auto& slot = pictures_[name];
    if (!slot) {
        slot = std::make_unique<Picture>();
        const std::string file = forms::pictureAt(name, density_);
        const std::string_view bytes = resourceData(resourceName(file).c_str());
        IStream* stream = SHCreateMemStream(reinterpret_cast<const BYTE*>(bytes.data()),
                                            static_cast<UINT>(bytes.size()));
        if (stream != nullptr) {
            Gdiplus::GpBitmap* bitmap = nullptr;
            if (gdip::GdipCreateBitmapFromStream(stream, &bitmap) == Gdiplus::Ok) {
                slot->image = bitmap;
                gdip::GdipGetImageWidth(slot->image, &slot->width);
                gdip::GdipGetImageHeight(slot->image, &slot->height);
            }
            stream->Release();
        }
    }
    return slot->image != nullptr ? slot.get() : nullptr;
}

// Each pixel of the original picture covers 15 twips each way; the drawing
// of the density in use has `density_` pixels for each of those.
SIZE Win32FormView::pictureSize(const Picture& p) const {
    const double devicePixels = kTwipsPerPixel * scale_.pixelsPerTwip() / density_;
    return {std::lround(p.width * devicePixels), std::lround(p.height * devicePixels)};
}

// Drawn unscaled where the size matches, else smoothly resampled; the edges
// are mirrored for the filter, so no colour of the opposite edge bleeds in.
void Win32FormView::paintPicture(HDC dc, const std::string& name, const RECT& area) {
    Picture* p = picture(name);
    if (p == nullptr) {
        return;
    }
    const SIZE size = pictureSize(*p);
    const bool unscaled =
        size.cx == static_cast<LONG>(p->width) && size.cy == static_cast<LONG>(p->height);
    Gdiplus::GpGraphics* g = nullptr;
    if (gdip::GdipCreateFromHDC(dc, &g) != Gdiplus::Ok) {
        return;
    }
    Gdiplus::GpImageAttributes* edges = nullptr;
    gdip::GdipCreateImageAttributes(&edges);
    gdip::GdipSetImageAttributesWrapMode(edges, Gdiplus::WrapModeTileFlipXY, 0, FALSE);
    gdip::GdipSetInterpolationMode(g, unscaled ? Gdiplus::InterpolationModeNearestNeighbor
                                               : Gdiplus::InterpolationModeHighQualityBicubic);
    gdip::GdipSetPixelOffsetMode(g, Gdiplus::PixelOffsetModeHalf);
    gdip::GdipSetClipRectI(g, area.left, area.top, area.right - area.left, area.bottom - area.top,
                           Gdiplus::CombineModeReplace);
    gdip::GdipDrawImageRectRectI(g, p->image, area.left, area.top, size.cx, size.cy, 0, 0,
                                 static_cast<INT>(p->width), static_cast<INT>(p->height),
                                 Gdiplus::UnitPixel, edges, nullptr, nullptr);
    gdip::GdipDisposeImageAttributes(edges);
    gdip::GdipDeleteGraphics(g);
}

// The graphical push button: its picture above its caption, pushed in while
// the form holds it down, the focus rectangle while the form focuses it.
void Win32FormView::drawButton(const DRAWITEMSTRUCT& item) {
    const auto it = controls_.find(item.hwndItem);
    if (it == controls_.end()) {
        return;
    }
    const Control& c = *it->second;
    const HDC dc = item.hDC;
    RECT r = item.rcItem;
    const bool down = c.down();
    const bool enabled = inputReaches(c);
    if (HTHEME theme = OpenThemeData(item.hwndItem, L"BUTTON")) {
        const int state = !enabled ? PBS_DISABLED : (down ? PBS_PRESSED : PBS_NORMAL);
        DrawThemeParentBackground(item.hwndItem, dc, &r);
        DrawThemeBackground(theme, dc, BP_PUSHBUTTON, state, &r, nullptr);
        CloseThemeData(theme);
    } else {
        DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (down ? DFCS_PUSHED : 0U));
    }
    const int shift = down ? 1 : 0;
    const HFONT old = SelectFont(dc, fontFor(c.font()));
    const std::wstring text = widen(c.caption());
    RECT textBox = r;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textBox,
              DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    const int textHeight = textBox.bottom - textBox.top;
    int pictureWidth = 0;
    int pictureHeight = 0;
    if (const Picture* p = picture(c.picture)) {
        const SIZE size = pictureSize(*p);
        pictureWidth = size.cx;
        pictureHeight = size.cy;
    }
    const int gap = scale_.y(4 * kTwipsPerPixel) - scale_.y(0);
    const int top = r.top + (r.bottom - r.top - pictureHeight - gap - textHeight) / 2 + shift;
    const RECT pictureArea{(r.left + r.right - pictureWidth) / 2 + shift, top,
                           (r.left + r.right + pictureWidth) / 2 + shift, top + pictureHeight};
    paintPicture(dc, c.picture, pictureArea);
    RECT caption{r.left + shift, top + pictureHeight + gap, r.right + shift,
                 top + pictureHeight + gap + textHeight};
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &caption,
              DT_CENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectFont(dc, old);
    if (form_.focus() == &c) {
        const int inset = scale_.x(4 * kTwipsPerPixel) - scale_.x(0);
        InflateRect(&r, -inset, -inset);
        DrawFocusRect(dc, &r);
    }
}

HFONT Win32FormView::fontFor(const forms::Font& font) {
    const int pixels = scale_.fontPixels(font.size);
    const std::string key = font.name + "/" + std::to_string(pixels) + (font.bold ? "b" : "") +
                            (font.italic ? "i" : "");
    auto& slot = fonts_[key];
    if (slot == nullptr) {
        LOGFONTW lf{};
        lf.lfHeight = -pixels;
        lf.lfWeight = font.bold ? FW_BOLD : FW_NORMAL;
        lf.lfItalic = font.italic ? TRUE : FALSE;
        lf.lfCharSet = DEFAULT_CHARSET;
        lf.lfQuality = CLEARTYPE_QUALITY;
        widen(families_.drawn(font.name)).copy(lf.lfFaceName, LF_FACESIZE - 1);
        slot = CreateFontIndirectW(&lf);
    }
    return slot;
}

HBRUSH Win32FormView::brushFor(COLORREF colour) {
    auto& slot = brushes_[colour];
    if (slot == nullptr) {
        slot = CreateSolidBrush(colour);
    }
    return slot;
}

// A text box centres its line vertically, as a cell should; the EDIT
// control only centres across. The room left over goes to its frame.
void Win32FormView::centreText(Control& control) {
    const HWND h = hwndFor(control);
    RECT r;
    GetWindowRect(h, &r);
    pad(h, control, r.right - r.left, r.bottom - r.top);
    SetWindowPos(h, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ERASE);
}

// The room the system leaves for a text box's line in a window of that
// size, less the line of its font, goes half above it and half below.
void Win32FormView::pad(HWND h, const Control& control, int width, int height) {
    paddings_[h] = 0;
    RECT client{0, 0, width, height};
    SendMessageW(h, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&client));
    const int line = lineHeight(fontFor(control.font()));
    paddings_[h] = std::max(0, static_cast<int>(client.bottom - client.top - line) / 2);
}

int Win32FormView::lineHeight(HFONT font) {
    const auto it = lineHeights_.find(font);
    if (it != lineHeights_.end()) {
        return it->second;
    }
    const HDC dc = GetDC(nullptr);
    const HFONT old = SelectFont(dc, font);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    SelectFont(dc, old);
    ReleaseDC(nullptr, dc);
    return lineHeights_.emplace(font, static_cast<int>(tm.tmHeight)).first->second;
}

void Win32FormView::propertyChanged(Control& control, Property property) {
    apply(control, property);
    if (property != Property::Text && property != Property::Tag) {
        return;
    }
    applyAccessible(control);
    if (property == Property::Text && control.live) {
        // A call: clients that follow the control read out its new name; the
        // live region is announced after the focus change that comes with
        // the call, whose speech would cut it off.
        if (const HWND h = hwndFor(control); h != nullptr) {
            NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, h, OBJID_CLIENT, CHILDID_SELF);
            PostMessageW(hwnd_, kAnnounceMessage, reinterpret_cast<WPARAM>(h), 0);
        }
    }
}

void Win32FormView::apply(Control& control, Property property) {
    const HWND h = hwndFor(control);
    if (h == nullptr) {
        return;
    }
    switch (property) {
        case Property::Text:
            SetWindowTextW(h, widen(control.text()).c_str());
            if (control.kind() == Kind::CommandButton) {
                InvalidateRect(h, nullptr, TRUE);
            }
            break;
        case Property::BackColor:
        case Property::ForeColor:
            RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ERASE);
            break;
        case Property::Font:
            setFont(control, fontFor(control.font()), true);
            if (control.kind() == Kind::TextBox) {
                centreText(control);
            }
            break;
        case Property::Enabled:
            // A text box stays enabled for the system, which would paint a
            // disabled one in its own grey; it takes no input anyway (the
            // form routes every press) and greys through its colours.
            if (control.kind() != Kind::TextBox) {
                EnableWindow(h, control.enabled() ? TRUE : FALSE);
            }
            // Inside a frame, the controls take their grey from it.
            for (Control* c : form_.controls()) {
                const HWND w = hwndFor(*c);
                if (w != nullptr && (c == &control || c->container() != nullptr)) {
                    InvalidateRect(w, nullptr, TRUE);
                }
            }
            break;
        case Property::Visible:
            ShowWindow(h, control.visible() ? SW_SHOWNA : SW_HIDE);
            break;
        case Property::ToolTipText:
            if (hovered_ == &control) {
                updateTip(&control);
            }
            break;
        case Property::Down:
            if (control.style == 1) {
                InvalidateRect(h, nullptr, FALSE);
            } else {
                SendMessageW(h, BM_SETSTATE, control.down() ? TRUE : FALSE, 0);
            }
            break;
        case Property::Tag:
            break;
    }
}

void Win32FormView::focusChanged(Control* control) {
    const HWND previous = GetFocus();
    const HWND h = control != nullptr ? hwndFor(*control) : nullptr;
    SetFocus(h != nullptr ? h : hwnd_);
    // The owner-drawn button draws its focus rectangle itself.
    for (const HWND w : {previous, h}) {
        if (w != nullptr && controls_.count(w) != 0) {
            InvalidateRect(w, nullptr, FALSE);
        }
    }
}

void Win32FormView::updateTip(Control* hovered) {
    hovered_ = hovered;
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = hwnd_;
    tool.uId = 1;
    if (hovered != nullptr) {
        tool.rect = toRect(forms::pixelRect(form_, *hovered, scale_));
        tipText_ = widen(hovered->toolTipText());
    } else {
        tipText_.clear();
    }
    SendMessageW(tip_, TTM_POP, 0, 0);
    SendMessageW(tip_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
    tool.lpszText = tipText_.data();
    SendMessageW(tip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

// Full screen: the window borderless over its whole monitor, the board
// zoomed to fill it; back to the framed window as it was.
void Win32FormView::windowRequested(forms::WindowRequest request) {
    const bool enter = request == forms::WindowRequest::ToggleFullScreen && !fullScreen_;
    if (enter == fullScreen_) {
        return;
    }
    fullScreen_ = enter;
    if (enter) {
        placement_.length = sizeof placement_;
        GetWindowPlacement(hwnd_, &placement_);
        const RECT m = monitorOf(hwnd_).rcMonitor;
        SetWindowLongPtrW(hwnd_, GWL_STYLE, WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN);
        SetWindowPos(hwnd_, HWND_TOP, m.left, m.top, m.right - m.left, m.bottom - m.top,
                     SWP_FRAMECHANGED | SWP_NOOWNERZORDER);
    } else {
        SetWindowLongPtrW(hwnd_, GWL_STYLE, kWindowStyle | WS_VISIBLE | WS_CLIPCHILDREN);
        SetWindowPlacement(hwnd_, &placement_);
        SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    }
    rescale();
}

}  // namespace winforms
