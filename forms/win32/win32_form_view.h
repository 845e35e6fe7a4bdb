// Plain Win32 backend: draws a forms::Form with the system's own controls
// and reports raw mouse and keyboard input to it, in twips. It holds no
// rule of the program: which control a press reaches, when a button is
// down, where the focus goes and which event is raised are the form's.
//
// Cells and strip slots are read-only EDIT controls, labels STATIC ones,
// the draw button a push button and the graphical button owner-drawn;
// frames and picture boxes are small window classes of this file. Every
// child is transparent to the mouse, so the top-level window sees all
// input; the keyboard is taken in the message loop, before any control.
//
// The window opens at the monitor's scale, reduced only as far as needed to
// fit the work area, and zooms the whole board with its size (maximized,
// full screen). Screen readers get each control's name and description as
// dynamic annotations on its window.
#pragma once

#include <windows.h>

#include <oleacc.h>

#include <map>
#include <memory>
#include <string>
#include <unordered_map>

#include "forms/form.h"
#include "forms/geometry.h"

namespace winforms {

// Loads the fonts embedded in the executable (the free stand-ins), for the
// systems that lack the families the layout names. Call once, at start.
void registerEmbeddedFonts();

// Starts GDI+, which decodes the embedded pictures; stops it when destroyed.
class PictureDecoder {
  public:
    PictureDecoder();
    ~PictureDecoder();
    PictureDecoder(const PictureDecoder&) = delete;
    PictureDecoder& operator=(const PictureDecoder&) = delete;

  private:
    ULONG_PTR token_ = 0;
};

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
    // Twips to the client area's pixels, as the board is drawn now.
    const forms::Scale& scale() const { return scale_; }

    // Shows the window; the form's Activate follows once, from the loop.
    void show(int showCommand);
    // Runs the message loop until the program ends; returns its status.
    int run();

    void propertyChanged(forms::Control& control, forms::Property property) override;
    void focusChanged(forms::Control* control) override;
    void windowRequested(forms::WindowRequest request) override;

  private:
    struct Picture;

    static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK frameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK pictureProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    // Paints a frame or a picture box: its back colour, then its picture,
    // or a frame's etched edge.
    static void paintBox(HWND hwnd);
    static LRESULT CALLBACK childProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR id, DWORD_PTR data);
    LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT controlColour(HDC dc, HWND child);
    bool takeKey(const MSG& msg);

    void create(forms::Control& control, HWND parent);
    // Places every control, and sets every font, at scale_.
    void placeAll();
    // Sets a control's font; a text box also loses the side margins the
    // system works out from it.
    void setFont(const forms::Control& control, HFONT font, bool redraw);
    // Moves and sizes a control to its place at scale_, and below its
    // siblings when after is HWND_BOTTOM; a text box is centred anew.
    void place(forms::Control& control, HWND after = nullptr);
    // The base scale for the monitor's DPI, reduced for the whole window to
    // fit the monitor's work area; the window sized to it and moved onto it.
    void fitToScreen();
    // The scale for the client area: the base scale, zoomed to fill it.
    void rescale();
    void applyAccessible(forms::Control& control);
    void apply(forms::Control& control, forms::Property property);
    void centreText(forms::Control& control);
    // Sets the bands above and below a text box's line, for the window's
    // size given; the next frame change applies them.
    void pad(HWND h, const forms::Control& control, int width, int height);
    int paddingOf(HWND h) const {
        const auto it = paddings_.find(h);
        return it != paddings_.end() ? it->second : 0;
    }
    // The height of a line in that font, in pixels.
    int lineHeight(HFONT font);
    void updateTip(forms::Control* hovered);
    void drawButton(const DRAWITEMSTRUCT& item);
    // Draws a picture from the area's top-left corner at the board's zoom,
    // clipped to the area.
    void paintPicture(HDC dc, const std::string& name, const RECT& area);
    // A picture's size as drawn, in device pixels.
    SIZE pictureSize(const Picture& p) const;
    void paintWindow();

    HFONT fontFor(const forms::Font& font);
    HBRUSH brushFor(COLORREF colour);
    Picture* picture(const std::string& name);
    forms::Point twipsAt(LPARAM lParam) const;
    bool inputReaches(const forms::Control& control) const;

    forms::Form& form_;
    HINSTANCE instance_;
    HWND hwnd_ = nullptr;
    HWND tip_ = nullptr;
    forms::Scale scale_;
    double baseScale_ = 1.0 / 15.0;  // pixels per twip before any zoom
    UINT dpi_ = 96;
    // The pictures of the density in use, each decoded when first drawn.
    int density_ = 1;
    IAccPropServices* annotations_ = nullptr;
    std::unordered_map<const forms::Control*, HWND> windows_;
    std::unordered_map<HWND, forms::Control*> controls_;
    forms::FontFamilies families_;
    std::map<std::string, HFONT> fonts_;
    std::map<HFONT, int> lineHeights_;
    // The band above and below each text box's line, which centres it.
    std::unordered_map<HWND, int> paddings_;
    std::map<COLORREF, HBRUSH> brushes_;
    std::map<std::string, std::unique_ptr<Picture>> pictures_;
    forms::Control* hovered_ = nullptr;
    std::wstring tipText_;
    bool activated_ = false;
    bool fullScreen_ = false;
    WINDOWPLACEMENT placement_{};
};

}  // namespace winforms
