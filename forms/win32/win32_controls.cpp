// SPDX-License-Identifier: MIT
// The child controls of the Win32 backend: made once, as the loaded form
// has them, at their places at the board's scale and with their fonts;
// painted from each control's look. What every control of a kind does is
// its window class's work, not each control's.
#include <windows.h>

#include <commctrl.h>
#include <uxtheme.h>
#include <vsstyle.h>
#include <windowsx.h>

#include <algorithm>
#include <array>

#include "forms/win32/win32_form_view.h"
#include "platform/win32/utf16.h"

namespace winforms {

using forms::Control;
using forms::Kind;
using platform::widen;

namespace {

constexpr const wchar_t* kWindowClass = L"TabelloneWindow";
constexpr const wchar_t* kFrameClass = L"TabelloneFrame";
constexpr const wchar_t* kPictureClass = L"TabellonePicture";
constexpr const wchar_t* kTextBoxClass = L"TabelloneTextBox";
constexpr const wchar_t* kButtonClass = L"TabelloneButton";

// The system's procedures of the classes the text box's and the push
// button's are made from.
WNDPROC systemTextBoxProc = DefWindowProcW;
WNDPROC systemButtonProc = DefWindowProcW;
// UI Automation's LiveSetting property, set as a dynamic annotation, and its
// Assertive value: NVDA and Narrator read out a live region's name when it
// raises EVENT_OBJECT_LIVEREGIONCHANGED. MinGW's headers have neither.
constexpr GUID kLiveSettingProperty{
    0xc12bcd8e, 0x2a8e, 0x4950, {0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d, 0x58, 0xeb}};
constexpr LONG kLiveAssertive = 2;

// Pixels of the board's scale that are `pixels` pixels at 96 dpi.
int scaled(const forms::Scale& scale, int pixels) {
    return scale.x(pixels * forms::kTwipsPerPixel) - scale.x(0);
}

// A class made from a system's: the same but for its procedure, which
// hands on to the system's what it does not take itself.
WNDPROC registerFrom(HINSTANCE instance, const wchar_t* system, const wchar_t* name, WNDPROC proc) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (GetClassInfoExW(nullptr, system, &wc) == 0) {
        return DefWindowProcW;
    }
    const WNDPROC base = wc.lpfnWndProc;
    wc.hInstance = instance;
    wc.style &= ~static_cast<UINT>(CS_GLOBALCLASS);
    wc.lpfnWndProc = proc;
    wc.lpszClassName = name;
    RegisterClassExW(&wc);
    return base;
}

}  // namespace

const wchar_t* Win32FormView::registerClasses(HINSTANCE instance) {
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
    wc.lpfnWndProc = boxProc;
    for (const wchar_t* name : {kFrameClass, kPictureClass}) {
        wc.lpszClassName = name;
        RegisterClassExW(&wc);
    }
    systemTextBoxProc = registerFrom(instance, WC_EDITW, kTextBoxClass, textBoxProc);
    systemButtonProc = registerFrom(instance, WC_BUTTONW, kButtonClass, buttonProc);
    return kWindowClass;
}

void Win32FormView::create(Control& control, HWND parent) {
    const wchar_t* cls = nullptr;
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
    DWORD exStyle = 0;
    const auto centred = control.alignment == forms::Alignment::Center;
    switch (control.kind()) {
        case Kind::TextBox:
            cls = kTextBoxClass;
            style |= ES_AUTOHSCROLL | ES_READONLY | ES_NOHIDESEL;
            style |= centred ? ES_CENTER : ES_LEFT;
            exStyle = WS_EX_CLIENTEDGE;
            break;
        case Kind::Label:
            // Without SS_NOTIFY a label lets the mouse through by itself.
            cls = WC_STATICW;
            style |= SS_NOPREFIX | (centred ? SS_CENTER : SS_LEFT);
            break;
        case Kind::Frame:
            // Not clipping its controls: shown again, a frame that clipped
            // them would have the system work out there and then what of it
            // each of them leaves to paint (15 ms for the cells under Wine).
            // It paints its back colour under them and they paint over it,
            // both from the loop.
            cls = kFrameClass;
            break;
        case Kind::CommandButton:
            cls = kButtonClass;
            style |= control.style == forms::kGraphicalStyle ? BS_OWNERDRAW : BS_PUSHBUTTON;
            break;
        case Kind::PictureBox:
            cls = kPictureClass;
            break;
    }
    // Made as the form has it, before the window is first shown: at its
    // place, its text, shown or hidden, a push button enabled or not (the
    // other controls take their look from their colours), so that nothing
    // is changed after. Each control made goes to the bottom of its
    // siblings: stacks are listed from the top, so the first stays on top.
    if (control.visible()) {
        style |= WS_VISIBLE;
    }
    if (!control.look().enabled && control.kind() == Kind::CommandButton) {
        style |= WS_DISABLED;
    }
    const forms::PixelRect r =
        forms::pixelRect(form_, control, scale_, control.container() != nullptr);
    // The control comes with it, for a text box to centre its line as it is
    // made.
    const HWND h = CreateWindowExW(exStyle, cls, widen(control.text()).c_str(), style, r.left,
                                   r.top, r.width, r.height, parent, nullptr, instance_, &control);
    windows_[&control] = h;
    controls_[h] = &control;
    setFont(control, fontFor(control.font()), false);
    for (Control* c : control.children()) {
        create(*c, h);
    }
    applyAccessible(control);
}

// A static box of one pixel under every control, with nothing to draw: the
// live region that screen readers hear the form's announcements from.
void Win32FormView::createAnnouncer() {
    announcer_ = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT, 0, 0, 1, 1,
                                 hwnd_, nullptr, instance_, nullptr);
    SetWindowPos(announcer_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (annotations_ == nullptr) {
        return;
    }
    VARIANT assertive{};
    assertive.vt = VT_I4;
    assertive.lVal = kLiveAssertive;
    annotations_->SetHwndProp(announcer_, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                              kLiveSettingProperty, assertive);
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

void Win32FormView::clearAccessible() {
    if (annotations_ == nullptr) {
        return;
    }
    std::array<MSAAPROPID, 3> props{PROPID_ACC_NAME, PROPID_ACC_DESCRIPTION, kLiveSettingProperty};
    for (const auto& [control, h] : windows_) {
        annotations_->ClearHwndProps(h, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                     props.data(), static_cast<int>(props.size()));
    }
    annotations_->ClearHwndProps(announcer_, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                 props.data(), static_cast<int>(props.size()));
}

void Win32FormView::setFont(const Control& control, HFONT font, bool redraw) {
    // Frames and picture boxes draw no text, and the graphical button
    // draws its caption itself.
    if (control.kind() == Kind::Frame || control.kind() == Kind::PictureBox ||
        control.style == forms::kGraphicalStyle) {
        return;
    }
    SendMessageW(hwndFor(control), WM_SETFONT, reinterpret_cast<WPARAM>(font),
                 redraw ? TRUE : FALSE);
}

void Win32FormView::place(Control& control) {
    const HWND h = windows_.at(&control);
    const forms::PixelRect r =
        forms::pixelRect(form_, control, scale_, control.container() != nullptr);
    // A text box's frame is worked out anew: its line centred in its new
    // height with the font it has, in the same move. Nothing is drawn: the
    // whole window is redrawn once every control is in place.
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW |
                       (control.kind() == Kind::TextBox ? SWP_FRAMECHANGED : 0U);
    SetWindowPos(h, nullptr, r.left, r.top, r.width, r.height, flags);
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
    gdi_.keepOnly(used);  // fonts of other zooms are in no control any more
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

// Its frame worked out anew, then the whole of it drawn once, from the loop.
void Win32FormView::centreText(Control& control) {
    const HWND h = hwndFor(control);
    SetWindowPos(
        h, nullptr, 0, 0, 0, 0,
        SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW | SWP_FRAMECHANGED);
    RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ERASE);
}

int Win32FormView::paddingOf(HWND h) const {
    const auto it = paddings_.find(h);
    return it != paddings_.end() ? it->second : 0;
}

COLORREF Win32FormView::colourUnder(const Control& control) const {
    const Control* under = control.container();
    return under != nullptr ? under->look().back : colourOf(form_.backColor);
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
        FillRect(dc, &r, view->gdi_.brush(c->look().back));
        if (c->kind() == Kind::PictureBox) {
            view->gdi_.paintPicture(dc, c->picture, r, view->scale_);
        } else {
            DrawEdge(dc, &r, EDGE_ETCHED, BF_RECT);
        }
    }
    EndPaint(hwnd, &ps);
}

void Win32FormView::paintWindow() {
    PAINTSTRUCT ps;
    const HDC dc = BeginPaint(hwnd_, &ps);
    RECT r;
    GetClientRect(hwnd_, &r);
    FillRect(dc, &r, gdi_.brush(colourOf(form_.backColor)));
    const RECT origin{scale_.x(0), scale_.y(0), r.right, r.bottom};
    gdi_.paintPicture(dc, form_.picture, origin, scale_);
    EndPaint(hwnd_, &ps);
}

LRESULT Win32FormView::controlColour(HDC dc, HWND child) {
    if (child == announcer_) {
        return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
    }
    const auto it = controls_.find(child);
    if (it == controls_.end()) {
        return reinterpret_cast<LRESULT>(gdi_.brush(colourOf(form_.backColor)));
    }
    const Control& c = *it->second;
    if (c.kind() == Kind::CommandButton) {
        // The corners around a themed button show what lies under it.
        return reinterpret_cast<LRESULT>(gdi_.brush(colourUnder(c)));
    }
    SetTextColor(dc, c.look().fore);
    SetBkColor(dc, c.look().back);
    SetBkMode(dc, OPAQUE);
    return reinterpret_cast<LRESULT>(gdi_.brush(c.look().back));
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
    if (HTHEME theme = OpenThemeData(item.hwndItem, L"BUTTON")) {
        const int state = !c.look().enabled ? PBS_DISABLED : (down ? PBS_PRESSED : PBS_NORMAL);
        // The rounded corners show what lies under the button.
        FillRect(dc, &r, gdi_.brush(colourUnder(c)));
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
    const forms::PixelSize picture = gdi_.pictureSize(c.picture, scale_);
    const int gap = scaled(scale_, 4);
    const int top = r.top + (r.bottom - r.top - picture.height - gap - textHeight) / 2 + shift;
    const RECT pictureArea{(r.left + r.right - picture.width) / 2 + shift, top,
                           (r.left + r.right + picture.width) / 2 + shift, top + picture.height};
    gdi_.paintPicture(dc, c.picture, pictureArea, scale_);
    RECT caption{r.left + shift, top + picture.height + gap, r.right + shift,
                 top + picture.height + gap + textHeight};
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, c.look().fore);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &caption,
              DT_CENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectFont(dc, old);
    if (form_.focus() == &c) {
        const int inset = scaled(scale_, 4);
        InflateRect(&r, -inset, -inset);
        DrawFocusRect(dc, &r);
    }
}

LRESULT CALLBACK Win32FormView::boxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_NCHITTEST:
            // The mouse goes to the window, which asks the form where the
            // input goes.
            return HTTRANSPARENT;
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

LRESULT CALLBACK Win32FormView::buttonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCHITTEST) {
        return HTTRANSPARENT;
    }
    return CallWindowProcW(systemButtonProc, hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK Win32FormView::textBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    const auto base = [&] { return CallWindowProcW(systemTextBoxProc, hwnd, msg, wParam, lParam); };
    if (msg == WM_NCHITTEST) {
        return HTTRANSPARENT;
    }
    auto* view = reinterpret_cast<Win32FormView*>(
        GetWindowLongPtrW(GetAncestor(hwnd, GA_ROOT), GWLP_USERDATA));
    if (view == nullptr) {
        return base();
    }
    switch (msg) {
        case WM_NCCREATE: {
            // Known from the start, so that its line is centred as it is made.
            auto* control =
                static_cast<Control*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
            view->controls_[hwnd] = control;
            view->windows_[control] = hwnd;
            return base();
        }
        case WM_SETFONT: {
            // The system gives a text box side margins worked out from each
            // new font, and keeps them when a later font is smaller: a
            // number needs the whole width of its cell.
            const LRESULT r = base();
            CallWindowProcW(systemTextBoxProc, hwnd, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN,
                            MAKELPARAM(0, 0));
            return r;
        }
        case WM_SETFOCUS:
        case WM_KILLFOCUS: {
            // A read-only text box selects nothing and has no caret; the
            // focus shows steadily, as its border in the highlight colour.
            const LRESULT r = base();
            if (msg == WM_SETFOCUS) {
                CallWindowProcW(systemTextBoxProc, hwnd, EM_SETSEL, 0, 0);
                DestroyCaret();
            }
            RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
            return r;
        }
        case WM_NCCALCSIZE: {
            // Its client area is its line, centred between bands of its back
            // colour that the frame paints: the room the system leaves for
            // the line, less the line of its font, goes half above it and
            // half below.
            const LRESULT r = base();
            RECT& client = wParam != 0 ? reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0]
                                       : *reinterpret_cast<RECT*>(lParam);
            int padding = 0;
            if (const auto it = view->controls_.find(hwnd); it != view->controls_.end()) {
                const int line = view->gdi_.lineHeight(view->fontFor(it->second->font()));
                padding = std::max(0, static_cast<int>(client.bottom - client.top - line) / 2);
            }
            view->paddings_[hwnd] = padding;
            client.top += padding;
            client.bottom = std::max(client.top, client.bottom - padding);
            return r;
        }
        case WM_NCPAINT: {
            const LRESULT r = base();
            const int padding = view->paddingOf(hwnd);
            const bool focused = GetFocus() == hwnd;
            if (padding == 0 && !focused) {
                return r;
            }
            RECT window;
            GetWindowRect(hwnd, &window);
            const HDC dc = GetWindowDC(hwnd);
            if (focused) {
                RECT outer{0, 0, window.right - window.left, window.bottom - window.top};
                const int edge = GetSystemMetrics(SM_CXEDGE);
                for (int k = 0; k < edge; ++k) {
                    FrameRect(dc, &outer, GetSysColorBrush(COLOR_HIGHLIGHT));
                    InflateRect(&outer, -1, -1);
                }
            }
            if (padding > 0) {
                RECT client;
                GetClientRect(hwnd, &client);
                MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&client), 2);
                OffsetRect(&client, -window.left, -window.top);
                const HBRUSH back = view->gdi_.brush(view->controls_.at(hwnd)->look().back);
                const RECT above{client.left, client.top - padding, client.right, client.top};
                const RECT below{client.left, client.bottom, client.right, client.bottom + padding};
                FillRect(dc, &above, back);
                FillRect(dc, &below, back);
            }
            ReleaseDC(hwnd, dc);
            return r;
        }
        case WM_NCDESTROY:
            view->paddings_.erase(hwnd);
            break;
        default:
            break;
    }
    return base();
}

}  // namespace winforms
