// SPDX-License-Identifier: MIT
// How the forms model maps to a device: twips to pixels at a scale, the
// fonts that stand in for the ones the layout names, and the texts of the
// platform's own boxes. Every backend reads these; none computes its own.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <utility>

#include "forms/form.h"

namespace forms {

// Twips in a pixel at 96 dots per inch, the reference the layout's pixel
// sizes (pictures among them) are given at.
inline constexpr int kTwipsPerPixel = 15;

struct PixelRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const PixelRect&) const = default;
};

struct PixelSize {
    int width = 0;
    int height = 0;
    bool operator==(const PixelSize&) const = default;
};

// Twips to device pixels: a scale (pixels per twip) and the pixel at which
// the client area's origin lies. 1440 twips make an inch, so at 96 dots per
// inch and no zoom a pixel is 15 twips.
class Scale {
  public:
    Scale() = default;
    Scale(double pixelsPerTwip, int originX, int originY);
    // The scale for a device of that many dots per inch, origin at 0, 0.
    static Scale forDpi(double dpi);

    double pixelsPerTwip() const { return pixelsPerTwip_; }
    int originX() const { return originX_; }
    int originY() const { return originY_; }

    // The pixel edge nearest to a twips coordinate. Each edge of a control
    // is rounded on its own, so neighbours keep their gaps.
    int x(Twips t) const;
    int y(Twips t) const;
    // A rectangle in client twips as device pixels.
    PixelRect rect(const Rect& r) const;
    // A twips point in a device pixel: a control's drawn pixels are exactly
    // the pixels whose point it contains, so hit tests agree with the screen.
    Point toTwips(int px, int py) const;
    // A font's size in whole device pixels (at least 1, rounded down): a
    // point is 20 twips.
    int fontPixels(FontSize4 size) const;

    bool operator==(const Scale&) const = default;

  private:
    double pixelsPerTwip_ = 1.0 / kTwipsPerPixel;
    int originX_ = 0;
    int originY_ = 0;
};

// A control's rectangle in device pixels: relative to the client area, or to
// its container's rectangle when relativeToContainer is set. Both come from
// the same rounded edges, so a child lands where the window-wide grid says.
PixelRect pixelRect(const Form& form, const Control& control, const Scale& scale,
                    bool relativeToContainer = false);

// The scale to open a window at: the platform's own (pixels per twip),
// reduced only as far as needed for the client area plus the window's frame
// (frameWidth, frameHeight pixels) to fit the screen's available area.
double startScale(const Form& form, double platformScale, int availableWidth, int availableHeight,
                  int frameWidth, int frameHeight);

// The scale for a client area of that many pixels: a larger area zooms the
// whole board in proportion to the largest size that fits, centred; a
// smaller one keeps the base scale and clips at the right and bottom.
Scale fitToClient(const Form& form, double baseScale, int clientWidth, int clientHeight);

// Where a window goes so that the whole of it (outer, its frame included)
// is on the available area of its screen: where it is, unless part of it is
// off the area, then moved as little as it takes. A window larger than the
// area keeps its top-left corner on it.
PixelRect keptOnArea(const PixelRect& outer, const PixelRect& area);

// Which drawing of a picture to use at a scale: 1, 2 or 3 times the pixel
// size of the original, the nearest to the device pixels each picture pixel
// covers (pixelsPerTwip * 15 * devicePixelRatio).
int pictureDensity(double pixelsPerTwip, double devicePixelRatio);
// The size a picture is drawn at, in device pixels, from the size of its
// drawing at a density: each pixel of the original covers 15 twips.
PixelSize drawnPictureSize(PixelSize drawing, int density, double pixelsPerTwip,
                           double devicePixelRatio);
// The resource name of a picture drawn at a density: "stelle.gif" at 2 is
// "stelle@2x.png"; at 1 the original name.
std::string pictureAt(const std::string& name, int density);

// The family a font is drawn in: the family the layout names where the
// system has it installed, else the free font embedded in its place (Comic
// Sans MS by Comic Neue, anything else by Liberation Sans, which is
// metric-compatible with Arial). Both backends draw by this rule.
class FontFamilies {
  public:
    // The platform's answer to "is this family installed?".
    using Installed = std::function<bool(const std::string& family)>;
    explicit FontFamilies(Installed installed) : installed_(std::move(installed)) {}

    // The system is asked once per family; the answer holds for the run.
    const std::string& drawn(const std::string& family);

  private:
    Installed installed_;
    std::map<std::string, std::string, std::less<>> drawn_;
};

}  // namespace forms
