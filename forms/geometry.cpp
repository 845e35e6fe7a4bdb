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
    return Scale(dpi / 1440.0, 0, 0);
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
    const double points = static_cast<double>(size) / 10000.0;
    return std::max(1, roundEdge(points * kTwipsPerPoint * pixelsPerTwip_));
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

std::string standInFamily(const std::string& family) {
    return family == "Comic Sans MS" ? "Comic Neue" : "Liberation Sans";
}

}  // namespace forms
