// SPDX-License-Identifier: MIT
#include "forms/null/null_view.h"

#include <array>
#include <string>

namespace nullforms {

NullView::NullView(forms::Form& form, forms::Scale scale) : form_(form), scale_(scale) {
    form_.setObserver(this);
}

NullView::~NullView() {
    form_.setObserver(nullptr);
}

bool NullView::open() {
    form_.load();
    if (!form_.failed()) {
        form_.activate();
    }
    return !form_.failed();
}

void NullView::close() {
    form_.unload();
}

int NullView::centreX(const forms::Control& control) const {
    const forms::PixelRect r = forms::pixelRect(form_, control, scale_);
    return r.left + r.width / 2;
}

int NullView::centreY(const forms::Control& control) const {
    const forms::PixelRect r = forms::pixelRect(form_, control, scale_);
    return r.top + r.height / 2;
}

void NullView::press(int px, int py) {
    form_.pointerPress(scale_.toTwips(px, py));
}

void NullView::move(int px, int py) {
    form_.pointerMove(scale_.toTwips(px, py));
}

void NullView::release(int px, int py) {
    form_.pointerRelease(scale_.toTwips(px, py));
}

void NullView::click(const forms::Control& control) {
    const int x = centreX(control);
    const int y = centreY(control);
    press(x, y);
    release(x, y);
}

void NullView::doubleClick(const forms::Control& control) {
    const int x = centreX(control);
    const int y = centreY(control);
    press(x, y);
    release(x, y);
    form_.pointerDoublePress(scale_.toTwips(x, y));
    release(x, y);
}

void NullView::key(forms::Key key, int repeats) {
    form_.keyDown(key, false);
    for (int i = 0; i < repeats; ++i) {
        form_.keyDown(key, true);
    }
    form_.keyUp(key);
}

namespace {

std::string nameOf(const forms::Control* control) {
    if (control == nullptr) {
        return "-";
    }
    return control->index() >= 0 ? control->name() + "(" + std::to_string(control->index()) + ")"
                                 : control->name();
}

constexpr std::array<const char*, 8> kPropertyNames{"Text",    "Tag",  "Font", "Visible",
                                                    "ToolTip", "Down", "Look", "Accessible"};

}  // namespace

void NullView::propertyChanged(forms::Control& control, forms::Property property) {
    changes_.emplace_back(&control, property);
    stream_.push_back(std::string(kPropertyNames.at(static_cast<std::size_t>(property))) + " " +
                      nameOf(&control));
}

void NullView::focusChanged(forms::Control* control) {
    focus_ = control;
    focusHistory_.push_back(control);
    stream_.push_back("Focus " + nameOf(control));
}

void NullView::windowRequested(forms::WindowRequest request) {
    requests_.push_back(request);
    stream_.push_back("Window " + std::to_string(static_cast<int>(request)));
}

void NullView::announce(const std::string& text) {
    said_.push_back(text);
    stream_.push_back("Say " + text);
}

}  // namespace nullforms
