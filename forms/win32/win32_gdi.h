// SPDX-License-Identifier: MIT
// The Win32 backend's drawing resources: the embedded fonts, fonts at the
// board's scale, brushes, and the pictures through GDI+. Each is made when
// first needed and kept while it is in use.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <set>
#include <string>

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

COLORREF colourOf(forms::Color c);

class Gdi {
  public:
    Gdi();
    ~Gdi();
    Gdi(const Gdi&) = delete;
    Gdi& operator=(const Gdi&) = delete;

    // A font of the model at a scale, in the family the form's rule picks.
    HFONT font(const forms::Font& font, const forms::Scale& scale);
    // The height of a line in that font, in pixels.
    int lineHeight(HFONT font);
    // Deletes the fonts that are not in `used` (those of another zoom).
    void keepOnly(const std::set<HFONT>& used);
    HBRUSH brush(COLORREF colour);

    // The pictures are drawn from the drawing for the density of the scale
    // (1x, 2x or 3x), each decoded when first drawn.
    void useDensityOf(const forms::Scale& scale);
    // A picture's size as drawn, in device pixels; 0 x 0 for none.
    forms::PixelSize pictureSize(const std::string& name, const forms::Scale& scale);
    // Draws a picture from the area's top-left corner at the scale, clipped
    // to the area.
    void paintPicture(HDC dc, const std::string& name, const RECT& area, const forms::Scale& scale);

  private:
    struct Picture;
    Picture* picture(const std::string& name);

    forms::FontFamilies families_;
    std::map<std::string, HFONT> fonts_;
    std::map<HFONT, int> lineHeights_;
    std::map<COLORREF, HBRUSH> brushes_;
    int density_ = 1;
    std::map<std::string, std::unique_ptr<Picture>> pictures_;  // at density_
};

}  // namespace winforms
