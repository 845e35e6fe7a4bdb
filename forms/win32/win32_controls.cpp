// The child controls of the Win32 backend: made once, as the loaded form
// has them; placed at the board's scale; painted from each control's look.
#include <windows.h>

#include <commctrl.h>
#include <uxtheme.h>
#include <vsstyle.h>
#include <windowsx.h>

#include <algorithm>
#include <array>

#include "forms/win32/win32_files.h"
#include "forms/win32/win32_form_view.h"

namespace winforms {

using forms::Control;
using forms::Kind;
using forms::widen;

namespace {

constexpr const wchar_t* kWindowClass = L"TabelloneWindow";
constexpr const wchar_t* kFrameClass = L"TabelloneFrame";
constexpr const wchar_t* kPictureClass = L"TabellonePicture";
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
    return kWindowClass;
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
            style |= centred ? ES_CENTER : ES_LEFT;
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
            style |= control.style == forms::kGraphicalStyle ? BS_OWNERDRAW : BS_PUSHBUTTON;
            break;
        case Kind::PictureBox:
            cls = kPictureClass;
            break;
    }
    // Made as the form has it, before the window is first shown: its text,
    // shown or hidden, a push button enabled or not (the other controls take
    // their look from their colours), so that nothing is changed after.
    if (control.visible()) {
        style |= WS_VISIBLE;
    }
    if (!control.look().enabled && control.kind() == Kind::CommandButton) {
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
    gdi_.keepOnly(used);  // fonts of other zooms are in no control any more
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

// The EDIT control only centres across; the room left over in its height
// goes to its frame.
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
    const int line = gdi_.lineHeight(fontFor(control.font()));
    paddings_[h] = std::max(0, static_cast<int>(client.bottom - client.top - line) / 2);
}

int Win32FormView::paddingOf(HWND h) const {
    const auto it = paddings_.find(h);
    return it != paddings_.end() ? it->second : 0;
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
        const Control* under = c.container();
        return reinterpret_cast<LRESULT>(
            gdi_.brush(under != nullptr ? under->look().back : colourOf(form_.backColor)));
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
        const Control* under = c.container();
        FillRect(dc, &r,
                 gdi_.brush(under != nullptr ? under->look().back : colourOf(form_.backColor)));
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

// Every child lets the mouse through to the window, which asks the form
// where the input goes.
LRESULT CALLBACK Win32FormView::childProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                          UINT_PTR /*id*/, DWORD_PTR data) {
    auto* view = reinterpret_cast<Win32FormView*>(data);
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
            const int padding = view->paddingOf(hwnd);
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
            if (const int padding = view->paddingOf(hwnd); padding > 0) {
                RECT window;
                RECT client;
                GetWindowRect(hwnd, &window);
                GetClientRect(hwnd, &client);
                MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&client), 2);
                OffsetRect(&client, -window.left, -window.top);
                const HBRUSH back = view->gdi_.brush(view->controls_.at(hwnd)->look().back);
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
            view->paddings_.erase(hwnd);
            break;
        default:
            break;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

}  // namespace winforms
