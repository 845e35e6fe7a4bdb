// SPDX-License-Identifier: MIT
// A backend with no display: it plays a form in process, the way a real
// backend would (raw input at pixel positions, the window's life from Load
// to Unload), and remembers what the form told and asked it. The core's
// tests run the program on it.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "forms/form.h"
#include "forms/geometry.h"

namespace nullforms {

class NullView : public forms::FormObserver {
  public:
    explicit NullView(forms::Form& form, forms::Scale scale = {});
    ~NullView() override;
    NullView(const NullView&) = delete;
    NullView& operator=(const NullView&) = delete;

    // Load, then, unless it failed, the first activation. Returns whether
    // the window is up (no failure was reported).
    bool open();
    // Unload.
    void close();

    // The middle of a control, in device pixels.
    int centreX(const forms::Control& control) const;
    int centreY(const forms::Control& control) const;

    // The left button at a device pixel, as a platform reports it.
    void press(int px, int py);
    void move(int px, int py);
    void release(int px, int py);
    // A whole click, and a whole double-click (press, release, double-press,
    // release), at the middle of a control.
    void click(const forms::Control& control);
    void doubleClick(const forms::Control& control);
    // A key pressed and let go; with repeats, that many auto-repeated key
    // downs come in between.
    void key(forms::Key key, int repeats = 0);

    // What the form told the backend.
    forms::Control* focus() const { return focus_; }
    // Every focus change, in order (nullptr: the window itself).
    const std::vector<forms::Control*>& focusHistory() const { return focusHistory_; }
    const std::vector<forms::WindowRequest>& requests() const { return requests_; }
    // Every announcement, in order.
    const std::vector<std::string>& said() const { return said_; }
    // Everything the form told, in order, as text: "Text estratto",
    // "Look num(6)", "Focus estrai" ("Focus -" for the window), "Window 0",
    // "Say Numero chiamato: 7".
    const std::vector<std::string>& stream() const { return stream_; }
    // Every change it was told to redraw, in order, since the last forget().
    using Change = std::pair<const forms::Control*, forms::Property>;
    const std::vector<Change>& changes() const { return changes_; }
    void forget() {
        changes_.clear();
        stream_.clear();
    }

    void propertyChanged(forms::Control& control, forms::Property property) override;
    void focusChanged(forms::Control* control) override;
    void windowRequested(forms::WindowRequest request) override;
    void announce(const std::string& text) override;

  private:
    forms::Form& form_;
    forms::Scale scale_;
    forms::Control* focus_ = nullptr;
    std::vector<forms::Control*> focusHistory_;
    std::vector<forms::WindowRequest> requests_;
    std::vector<Change> changes_;
    std::vector<std::string> said_;
    std::vector<std::string> stream_;
};

}  // namespace nullforms
