// SPDX-License-Identifier: MIT
// The Win32 backend's window: its procedure, the input it reports to the
// form, and what it does with what the form tells it.
#include "forms/win32/win32_form_view.h"

#include <commctrl.h>
#include <windowsx.h>

#include <exception>
#include <string>

#include "forms/win32/win32_platform.h"
#include "platform/platform.h"
#include "platform/win32/win32_files.h"

namespace winforms {

using forms::Control;
using forms::Kind;
using forms::Property;
using platform::widen;

namespace {

// EVENT_OBJECT_LIVEREGIONCHANGED, which the headers give only to programs
// for Windows 8 and later; Windows 7 passes it on unheard.
constexpr DWORD kLiveRegionChanged = 0x8019;

RECT toRect(const forms::PixelRect& r) {
    return {r.left, r.top, r.left + r.width, r.top + r.height};
}

}  // namespace

ComApartment::ComApartment() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
}

ComApartment::~ComApartment() {
    CoUninitialize();
}

Win32FormView::Win32FormView(forms::Form& form, HINSTANCE instance)
    : form_(form), instance_(instance) {
    hwnd_ = CreateWindowExW(0, registerClasses(instance), widen(form.caption()).c_str(),
                            kWindowStyle | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, this);
    if (hwnd_ == nullptr) {
        const DWORD error = GetLastError();
        std::string message =
            "Impossibile creare la finestra del tabellone.\n\nMotivo: errore di sistema " +
            std::to_string(error);
        if (const std::string text = platform::fileFailure(error).systemText; !text.empty()) {
            message += " (" + text + ")";
        }
        throw platform::FatalError(message + ".\n\nIl tabellone verrà chiuso.");
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

    for (Control* c : form.children()) {
        create(*c, hwnd_);
    }
    createAnnouncer();
    // Focus rectangles always show: the keyboard is the form's, not the
    // dialog manager's, which would otherwise hide them until Tab is seen.
    SendMessageW(hwnd_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL),
                 0);
    form.setObserver(this);
}

Win32FormView::~Win32FormView() {
    form_.setObserver(nullptr);
    clearAccessible();
    if (annotations_ != nullptr) {
        annotations_->Release();
    }
    if (IsWindow(hwnd_) != 0) {
        DestroyWindow(hwnd_);
    }
}

HWND Win32FormView::hwndFor(const Control& control) const {
    const auto it = windows_.find(&control);
    return it != windows_.end() ? it->second : nullptr;
}

void Win32FormView::fitToScreen() {
    baseScale_ = startScaleOn(form_, MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST), dpi_);
    const forms::Scale base(baseScale_, 0, 0);
    fitWindow(hwnd_, base.x(form_.clientWidth()), base.y(form_.clientHeight()), dpi_);
    rescale();
}

void Win32FormView::rescale() {
    RECT client;
    GetClientRect(hwnd_, &client);
    if (client.right <= 0 || client.bottom <= 0) {
        return;  // minimized
    }
    const forms::Scale fitted = forms::fitToClient(form_, baseScale_, client.right, client.bottom);
    if (fitted == scale_) {
        return;
    }
    scale_ = fitted;
    gdi_.useDensityOf(scale_);
    if (windows_.empty()) {
        return;  // still being built: the controls are made at this scale
    }
    placeAll();
    if (hovered_ != nullptr) {
        updateTip(hovered_);  // its rectangle moved
    }
}

// The form's Activate comes as soon as the window shows, before the loop
// paints it: painted before, it would be painted twice over, the form's
// first changes (the focus, the draw button disabled) redrawing most of it.
void Win32FormView::show(int showCommand) {
    ShowWindow(hwnd_, showCommand);
    form_.activate();
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
        form_.keyDown(key, repeatedPress(msg.lParam));
    } else {
        form_.keyUp(key);
    }
    return true;
}

forms::Point Win32FormView::twipsAt(LPARAM lParam) const {
    return scale_.toTwips(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
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
        // its own handlers' failures; this is a failure of the backend,
        // reported in the same box. A paint that failed is not asked for
        // again while the box is open.
        if (msg == WM_PAINT) {
            ValidateRect(hwnd, nullptr);
        }
        reportFailure(hwnd, view->form_.explainFailure(std::current_exception()));
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
            if (!form_.fullScreen()) {
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

void Win32FormView::propertyChanged(Control& control, Property property) {
    apply(control, property);
}

// The announcer takes the text as its name, and clients that follow it and
// screen readers that listen to live regions read it out.
void Win32FormView::announce(const std::string& text) {
    if (annotations_ != nullptr) {
        annotations_->SetHwndPropStr(announcer_, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                     PROPID_ACC_NAME, widen(text).c_str());
    }
    NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, announcer_, OBJID_CLIENT, CHILDID_SELF);
    NotifyWinEvent(kLiveRegionChanged, announcer_, OBJID_CLIENT, CHILDID_SELF);
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
        case Property::Look:
            // Only a push button is drawn by the system as enabled or not;
            // every other control draws its look through its colours (a
            // text box disabled for the system would be painted in the
            // system's own grey), and takes no input anyway: the form
            // routes every press.
            if (control.kind() == Kind::CommandButton) {
                EnableWindow(h, control.look().enabled ? TRUE : FALSE);
            }
            RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ERASE);
            break;
        case Property::Font:
            setFont(control, fontFor(control.font()), true);
            if (control.kind() == Kind::TextBox) {
                centreText(control);
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
            if (control.style == forms::kGraphicalStyle) {
                InvalidateRect(h, nullptr, FALSE);
            } else {
                SendMessageW(h, BM_SETSTATE, control.down() ? TRUE : FALSE, 0);
            }
            break;
        case Property::Accessible:
            applyAccessible(control);
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

void Win32FormView::windowRequested(forms::WindowRequest request) {
    if (request == forms::WindowRequest::EnterFullScreen) {
        fullScreen_.enter(hwnd_);
    } else {
        fullScreen_.leave(hwnd_);
    }
    rescale();
}

}  // namespace winforms
