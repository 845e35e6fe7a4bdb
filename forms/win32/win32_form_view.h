// SPDX-License-Identifier: MIT
// Plain Win32 backend (Windows 7 and later, 32- and 64-bit): draws a
// forms::Form with the system's own controls and reports the user's raw
// input to it, in twips. Every rule is the form's (clicks, focus, tab
// order, keys, looks, scale, fonts, window state); this backend carries
// out what the form hands it, in the order it comes. Its own state is what
// drawing needs: the windows, the scale, the GDI objects, the tooltip.
//
// Implemented:
//  - text boxes (read-only EDIT controls, the line centred), labels (STATIC),
//    frames and picture boxes (window classes of this backend), the push
//    button, and the graphical button owner-drawn with its picture above
//    its caption; the stacking and the clipping of frames;
//  - each control's look as the form gives it, redrawn only when the form
//    says it changed;
//  - the left button's press, move, release and double-press (every child
//    lets the mouse through to the window); Tab, Shift+Tab, Space, Enter,
//    Escape and F11, taken in the message loop before any control; the
//    question and the error box take only keys pressed after they opened;
//  - tooltips; the window fitted to its monitor's work area at the
//    monitor's DPI (per-monitor v2), zoomed with its size, full screen;
//    pictures through GDI+ at 1x, 2x or 3x; the embedded fonts where the
//    system lacks the layout's;
//  - screen readers (MSAA and UI Automation, as dynamic annotations): every
//    control's name and description; the form's announcements through a
//    live region of their own.
// Not implemented: typing into a text box, the right button, the wheel, any
// key but the six above, and high-contrast colours (the form fixes the
// system colours).
//
// Files: win32_form_view.cpp (the window, input, what the form says),
// win32_controls.cpp (the child controls and their painting), win32_gdi
// (fonts, brushes, pictures), win32_screen (DPI, monitor, full screen).
#pragma once

#include <windows.h>

#include <oleacc.h>

#include <set>
#include <string>
#include <unordered_map>

#include "forms/form.h"
#include "forms/geometry.h"
#include "forms/win32/win32_gdi.h"
#include "forms/win32/win32_screen.h"

namespace winforms {

// Initialises COM on the thread for its lifetime (apartment threaded).
class ComApartment {
  public:
    ComApartment();
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
};

class Win32FormView : public forms::FormObserver {
  public:
    // COM must be initialised on the thread, for the screen readers' texts.
    Win32FormView(forms::Form& form, HINSTANCE instance);
    ~Win32FormView() override;
    Win32FormView(const Win32FormView&) = delete;
    Win32FormView& operator=(const Win32FormView&) = delete;

    HWND hwnd() const { return hwnd_; }
    HWND hwndFor(const forms::Control& control) const;

    // Shows the window, then raises the form's Activate.
    void show(int showCommand);
    // Runs the message loop until the program ends; returns its status.
    int run();

    void propertyChanged(forms::Control& control, forms::Property property) override;
    void focusChanged(forms::Control* control) override;
    void windowRequested(forms::WindowRequest request) override;
    void announce(const std::string& text) override;

  private:
    // The window (win32_form_view.cpp).
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam);
    bool takeKey(const MSG& msg);
    forms::Point twipsAt(LPARAM lParam) const;
    void apply(forms::Control& control, forms::Property property);
    void updateTip(forms::Control* hovered);
    // The base scale for the monitor's DPI, reduced for the whole window to
    // fit the monitor's work area; the window sized to it and moved onto it.
    void fitToScreen();
    // The scale for the client area: the base scale, zoomed to fill it.
    void rescale();

    // The child controls (win32_controls.cpp).
    // Frames and picture boxes: painted by paintBox; a frame's controls
    // are coloured and drawn by the window.
    static LRESULT CALLBACK boxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    // The text box's and the push button's classes: the system's EDIT and
    // BUTTON, with the mouse let through to the window; a text box also
    // centres its line and shows the focus steadily.
    static LRESULT CALLBACK textBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK buttonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    // Registers the window's class and the controls'; returns the window's.
    static const wchar_t* registerClasses(HINSTANCE instance);
    // Makes a control, and those it holds, at its place at scale_ with its
    // font, as the form has it.
    void create(forms::Control& control, HWND parent);
    // Places every control, and sets every font, at scale_.
    void placeAll();
    // Sets the font of a control that draws text with the system's font;
    // the others draw with fontFor themselves.
    void setFont(const forms::Control& control, HFONT font, bool redraw);
    // Moves and sizes a control to its place at scale_, drawing nothing; a
    // text box is centred anew.
    void place(forms::Control& control);
    // A text box centres its line vertically in its window, with its font.
    void centreText(forms::Control& control);
    int paddingOf(HWND h) const;
    // The colour shown under a control: its frame's back colour, or the
    // window's.
    COLORREF colourUnder(const forms::Control& control) const;
    // What screen readers are told of a control. clearAccessible takes it
    // all back from every control and the announcer.
    void applyAccessible(forms::Control& control);
    void createAnnouncer();
    void clearAccessible();
    // Paints a frame or a picture box: its back colour, then its picture,
    // or a frame's etched edge.
    static void paintBox(HWND hwnd);
    void paintWindow();
    // The colours of a text box or a label, from its look.
    LRESULT controlColour(HDC dc, HWND child);
    void drawButton(const DRAWITEMSTRUCT& item);
    HFONT fontFor(const forms::Font& font) { return gdi_.font(font, scale_); }

    forms::Form& form_;
    HINSTANCE instance_;
    HWND hwnd_ = nullptr;
    HWND tip_ = nullptr;
    HWND announcer_ = nullptr;  // the live region of the form's announcements
    forms::Scale scale_;
    double baseScale_ = 1.0 / forms::kTwipsPerPixel;  // pixels per twip before any zoom
    UINT dpi_ = 96;
    Gdi gdi_;
    FullScreen fullScreen_;
    IAccPropServices* annotations_ = nullptr;
    std::unordered_map<const forms::Control*, HWND> windows_;
    std::unordered_map<HWND, forms::Control*> controls_;
    // The band above and below each text box's line, which centres it.
    std::unordered_map<HWND, int> paddings_;
    forms::Control* hovered_ = nullptr;
    std::wstring tipText_;
};

}  // namespace winforms
