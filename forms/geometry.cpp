// SPDX-License-Identifier: MIT
#include "forms/geometry.h"

#include <algorithm>
#include <cmath>

namespace forms {

namespace {

// Twips in a point; a point is 1/72 of an inch, a twip 1/1440.
constexpr double kTwipsPerPoint = 20.0;

int roundEdge(double v) {
    return static_cast<int>(std::floor(v + 0.5));
}

}  // namespace

Scale::Scale(double pixelsPerTwip, int originX, int originY)
    : pixelsPerTwip_(pixelsPerTwip), originX_(originX), originY_(originY) {}

Scale Scale::forDpi(double dpi) {
    return {dpi / 1440.0, 0, 0};
}

int Scale::x(Twips t) const {
    return originX_ + roundEdge(t * pixelsPerTwip_);
}

int Scale::y(Twips t) const {
    return originY_ + roundEdge(t * pixelsPerTwip_);
}

PixelRect Scale::rect(const Rect& r) const {
    const int left = x(r.left);
    const int top = y(r.top);
    return {left, top, x(r.right()) - left, y(r.bottom()) - top};
}

Point Scale::toTwips(int px, int py) const {
    // The largest twips coordinate whose edge still rounds to this pixel or
    // before it: a control covers the pixel exactly when it covers that point.
    const auto twips = [this](int pixel, int origin) {
        return static_cast<Twips>(std::ceil((pixel - origin + 0.5) / pixelsPerTwip_)) - 1;
    };
    return {twips(px, originX_), twips(py, originY_)};
}

int Scale::fontPixels(FontSize4 size) const {
    // Rounded down, so that text never outgrows the box that was sized for
    // it at the reference scale; the small step covers the error of 1/15.
    const double points = static_cast<double>(size) / 10000.0;
    return std::max(1,
                    static_cast<int>(std::floor(points * kTwipsPerPoint * pixelsPerTwip_ + 1e-6)));
}

PixelRect pixelRect(const Form& form, const Control& control, const Scale& scale,
                    bool relativeToContainer) {
    PixelRect r = scale.rect(form.windowRect(control));
    if (relativeToContainer && control.container() != nullptr) {
        const PixelRect outer = scale.rect(form.windowRect(*control.container()));
        r.left -= outer.left;
        r.top -= outer.top;
    }
    return r;
}

double startScale(const Form& form, double platformScale, int availableWidth, int availableHeight,
                  int frameWidth, int frameHeight) {
    const double fitX = (availableWidth - frameWidth) / static_cast<double>(form.clientWidth());
    const double fitY = (availableHeight - frameHeight) / static_cast<double>(form.clientHeight());
    return std::max(std::min({platformScale, fitX, fitY}), 1e-3);
}

Scale fitToClient(const Form& form, double baseScale, int clientWidth, int clientHeight) {
    const double fitX = clientWidth / static_cast<double>(form.clientWidth());
    const double fitY = clientHeight / static_cast<double>(form.clientHeight());
    const double zoom = std::max(baseScale, std::min(fitX, fitY));
    const int spareX = clientWidth - roundEdge(form.clientWidth() * zoom);
    const int spareY = clientHeight - roundEdge(form.clientHeight() * zoom);
    return {zoom, std::max(0, spareX / 2), std::max(0, spareY / 2)};
}

PixelRect keptOnArea(const PixelRect& outer, const PixelRect& area) {
    const int left =
        std::max(area.left, std::min(outer.left, area.left + area.width - outer.width));
    const int top = std::max(area.top, std::min(outer.top, area.top + area.height - outer.height));
    return {left, top, outer.width, outer.height};
}

int pictureDensity(double pixelsPerTwip, double devicePixelRatio) {
    const double density = pixelsPerTwip * kTwipsPerPixel * devicePixelRatio;
    return std::clamp(static_cast<int>(std::lround(density)), 1, 3);
}

PixelSize drawnPictureSize(PixelSize drawing, int density, double pixelsPerTwip,
                           double devicePixelRatio) {
    const double devicePixels = kTwipsPerPixel * pixelsPerTwip * devicePixelRatio / density;
    return {static_cast<int>(std::lround(drawing.width * devicePixels)),
            static_cast<int>(std::lround(drawing.height * devicePixels))};
}

std::string pictureAt(const std::string& name, int density) {
    if (density <= 1 || name.empty()) {
        return name;
    }
    const std::size_t dot = name.rfind('.');
    return name.substr(0, dot) + "@" + std::to_string(density) + "x.png";
}

const std::string& FontFamilies::drawn(const std::string& family) {
    auto it = drawn_.find(family);
    if (it == drawn_.end()) {
        std::string chosen = installed_(family)          ? family
                             : family == "Comic Sans MS" ? "Comic Neue"
                                                         : "Liberation Sans";
        it = drawn_.emplace(family, std::move(chosen)).first;
    }
    return it->second;
}

}  // namespace forms
