// SPDX-License-Identifier: MIT
#include "forms/form.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <iterator>
#include <stdexcept>
#include <utility>

#include "platform/platform.h"

namespace forms {

FontSize4 toFontSize4(float points) {
    return static_cast<FontSize4>(std::llround(static_cast<double>(points) * 10000.0));
}

float toPoints(FontSize4 size) {
    return static_cast<float>(static_cast<double>(size) / 10000.0);
}

bool KeyRepeats::press(int key, bool autoRepeat, std::uint64_t time) {
    const auto byKey = [key](const auto& k) { return k.first == key; };
    const auto it = std::find_if(released_.begin(), released_.end(), byKey);
    const bool sameInstant = it != released_.end() && time != 0 && it->second == time;
    if (it != released_.end()) {
        released_.erase(it);
    }
    bool held = false;
    if (const auto down = std::find_if(down_.begin(), down_.end(), byKey); down != down_.end()) {
        held = time - down->second <= kLongestRepeatGap;
        down->second = time;
    } else {
        down_.emplace_back(key, time);
    }
    return autoRepeat || sameInstant || held;
}

void KeyRepeats::release(int key, std::uint64_t time) {
    const auto byKey = [key](const auto& k) { return k.first == key; };
    std::erase_if(down_, byKey);
    const auto it = std::find_if(released_.begin(), released_.end(), byKey);
    if (it != released_.end()) {
        it->second = time;
    } else {
        released_.emplace_back(key, time);
    }
}

bool ModalKeys::press(int key, bool repeat) {
    const bool pressedHere = std::find(down_.begin(), down_.end(), key) != down_.end();
    if (!repeat && !pressedHere) {
        down_.push_back(key);
    }
    return !repeat || pressedHere;
}

bool ModalKeys::release(int key) {
    const auto it = std::find(down_.begin(), down_.end(), key);
    if (it == down_.end()) {
        return false;
    }
    down_.erase(it);
    return true;
}

Control::Control(Form& form, Kind kind, std::string name, int index, Control* container, Rect rect)
    : form_(&form),
      kind_(kind),
      name_(std::move(name)),
      index_(index),
      container_(container),
      rect_(rect) {}

void Control::changed(Property p) {
    form_->changed(*this, p);
}

void Control::setText(std::string text) {
    if (text != text_) {
        text_ = std::move(text);
        changed(Property::Text);
        if (!accessible_) {
            changed(Property::Accessible);
        }
    }
}

void Control::setTag(std::string tag) {
    if (tag != tag_) {
        tag_ = std::move(tag);
        changed(Property::Tag);
    }
}

void Control::setBackColor(Color c) {
    if (c != backColor_) {
        backColor_ = c;
        form_->restyle(*this, false);
    }
}

void Control::setForeColor(Color c) {
    if (c != foreColor_) {
        foreColor_ = c;
        form_->restyle(*this, false);
    }
}

void Control::setFont(Font font) {
    if (font != font_) {
        font_ = std::move(font);
        changed(Property::Font);
    }
}

void Control::setFontBold(bool bold) {
    Font font = font_;
    font.bold = bold;
    setFont(std::move(font));
}

void Control::setFontSize(float points) {
    setFontSize4(toFontSize4(points));
}

void Control::setFontSize4(FontSize4 size) {
    Font font = font_;
    font.size = size;
    setFont(std::move(font));
}

void Control::setEnabled(bool enabled) {
    if (enabled != enabled_) {
        enabled_ = enabled;
        form_->inputChanged();
        form_->restyle(*this, true);
    }
}

void Control::setVisible(bool visible) {
    if (visible != visible_) {
        visible_ = visible;
        form_->inputChanged();
        changed(Property::Visible);
    }
}

void Control::setToolTipText(std::string text) {
    if (text != toolTip_) {
        toolTip_ = std::move(text);
        changed(Property::ToolTipText);
        if (!accessible_) {
            changed(Property::Accessible);
        }
    }
}

void Control::setAccessible(Accessible accessible) {
    if (accessible_ != accessible) {
        accessible_ = std::move(accessible);
        changed(Property::Accessible);
    }
}

Form::Form(std::string name, std::string caption, Twips clientWidth, Twips clientHeight)
    : name_(std::move(name)),
      caption_(std::move(caption)),
      clientWidth_(clientWidth),
      clientHeight_(clientHeight) {}

Form::~Form() = default;

// Every report of input and every handler runs as a step; what the form
// changes meanwhile is held back and handed over when the outermost step
// is done, so that the backend shows the end state of each report.
class Form::Step {
  public:
    explicit Step(Form& form) : form_(form) { ++form_.steps_; }
    ~Step() {
        if (--form_.steps_ == 0) {
            form_.deliver();
        }
    }
    Step(const Step&) = delete;
    Step& operator=(const Step&) = delete;

  private:
    Form& form_;
};

Control& Form::add(Kind kind, std::string name, int index, Control* container, Rect rect) {
    owned_.push_back(
        std::make_unique<Control>(*this, kind, std::move(name), index, container, rect));
    Control* c = owned_.back().get();
    (container != nullptr ? container->children_ : children_).push_back(c);
    c->look_ = lookOf(*c);
    return *c;
}

Control& Form::control(std::string_view name, int index) const {
    for (const auto& c : owned_) {
        if (c->name() == name && c->index() == index) {
            return *c;
        }
    }
    throw std::out_of_range("no control " + std::string(name) + "(" + std::to_string(index) + ")");
}

std::vector<Control*> Form::controls() const {
    std::vector<Control*> all;
    all.reserve(owned_.size());
    for (const auto& c : owned_) {
        all.push_back(c.get());
    }
    return all;
}

Rect Form::windowRect(const Control& control) const {
    Rect r = control.rect();
    for (const Control* c = control.container(); c != nullptr; c = c->container()) {
        r.left += c->rect().left;
        r.top += c->rect().top;
    }
    return r;
}

Control* Form::hit(const std::vector<Control*>& stack, Point p) {
    for (Control* c : stack) {
        if (!c->visible() || !c->rect().contains(p)) {
            continue;
        }
        // A container clips its children to its own rectangle, so looking
        // inside it only makes sense once the point is known to be there.
        const Point inner{p.x - c->rect().left, p.y - c->rect().top};
        if (Control* child = hit(c->children(), inner)) {
            return child;
        }
        return c;
    }
    return nullptr;
}

Control* Form::controlAt(Point p) const {
    if (p.x < 0 || p.y < 0 || p.x >= clientWidth_ || p.y >= clientHeight_) {
        return nullptr;
    }
    return hit(children_, p);
}

bool Form::acceptsInput(const Control& control) const {
    for (const Control* c = &control; c != nullptr; c = c->container()) {
        if (!c->enabled() || !c->visible()) {
            return false;
        }
    }
    return true;
}

void Form::click(Control& control, bool takeFocus) {
    if (!acceptsInput(control)) {
        return;
    }
    // The focus moves within the Click, so that a Click that disables its
    // own button leaves it where the Click put it, and the backend is told
    // only of that.
    dispatch([this, &control, takeFocus] {
        if (takeFocus) {
            moveFocus(&control);
        }
        if (control.onClick) {
            control.onClick(control.index());
        }
    });
}

void Form::dblClick(Control& control) {
    if (acceptsInput(control) && control.onDblClick) {
        dispatch([&control] { control.onDblClick(control.index()); });
    }
}

void Form::setDown(Control* button, bool down) {
    if (button != nullptr && button->down_ != down) {
        button->down_ = down;
        changed(*button, Property::Down);
    }
}

void Form::pointerPress(Point p) {
    const Step step(*this);
    buttonDown_ = true;
    // A press whose release never came (the platform lost the pointer)
    // ends here: its button comes back up and will not click.
    setDown(std::exchange(pressed_, nullptr), false);
    Control* c = controlAt(p);
    pressed_ = c;
    if (c == nullptr || !acceptsInput(*c)) {
        return;
    }
    if (c->kind() == Kind::CommandButton) {
        setDown(c, true);
    } else if (c->focusable()) {
        moveFocus(c);
    }
}

void Form::pointerMove(Point p) {
    const Step step(*this);
    if (pressed_ != nullptr && pressed_->kind() == Kind::CommandButton) {
        setDown(pressed_, controlAt(p) == pressed_ && acceptsInput(*pressed_));
    }
}

void Form::pointerRelease(Point p) {
    const Step step(*this);
    buttonDown_ = false;
    Control* pressed = std::exchange(pressed_, nullptr);
    if (pressed == nullptr) {
        return;
    }
    setDown(pressed, false);
    if (controlAt(p) == pressed) {
        // A push button takes the focus as it clicks.
        click(*pressed, pressed->kind() == Kind::CommandButton);
    }
}

void Form::pointerDoublePress(Point p) {
    const Step step(*this);
    // A push button takes the second press like the first; anything else
    // raises DblClick, and the release that follows clicks nothing.
    pointerPress(p);
    Control* c = controlAt(p);
    if (c != nullptr && c->kind() != Kind::CommandButton) {
        pressed_ = nullptr;
        dblClick(*c);
    }
}

Accessible Form::accessible(const Control& control) {
    return control.accessible_ ? *control.accessible_
                               : Accessible{control.text(), control.toolTipText()};
}

void Form::announce(std::string text) {
    const Step step(*this);
    said_.push_back(std::move(text));
}

std::vector<Control*> Form::tabOrder() const {
    std::vector<Control*> order;
    for (const auto& c : owned_) {
        if (c->focusable()) {
            order.push_back(c.get());
        }
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const Control* a, const Control* b) { return a->tabIndex < b->tabIndex; });
    return order;
}

void Form::tab(bool forward) {
    std::vector<Control*> order = tabOrder();
    if (!forward) {
        std::reverse(order.begin(), order.end());
    }
    const auto here = std::find(order.begin(), order.end(), focus_);
    // From the window itself the walk starts at the first control.
    auto next = here == order.end() ? order.begin() : std::next(here);
    for (std::size_t step = 0; step < order.size(); ++step, ++next) {
        if (next == order.end()) {
            next = order.begin();
        }
        if (acceptsInput(**next)) {
            moveFocus(*next);
            return;
        }
    }
}

void Form::keyDown(Key key, bool autoRepeat) {
    const Step step(*this);
    Control* focused = focus_;
    const bool onButton = focused != nullptr && focused->kind() == Kind::CommandButton;
    switch (key) {
        case Key::Tab:
        case Key::BackTab:
            tab(key == Key::Tab);
            break;
        case Key::Space:
            if (!autoRepeat && onButton) {
                spacePressed_ = focused;
                setDown(focused, true);
            }
            break;
        case Key::Enter:
            if (autoRepeat) {
                break;
            }
            if (onButton) {
                click(*focused);
            } else if (onEnter) {
                dispatch([this, focused] { onEnter(focused); });
            }
            break;
        case Key::F11:
            if (!autoRepeat) {
                request(fullScreen_ ? WindowRequest::LeaveFullScreen
                                    : WindowRequest::EnterFullScreen);
            }
            break;
        case Key::Escape:
            if (!autoRepeat && fullScreen_) {
                request(WindowRequest::LeaveFullScreen);
            }
            break;
    }
}

void Form::keyUp(Key key) {
    const Step step(*this);
    if (key != Key::Space) {
        return;
    }
    Control* button = std::exchange(spacePressed_, nullptr);
    if (button == nullptr) {
        return;
    }
    setDown(button, false);
    if (button == focus_) {
        click(*button);
    }
}

bool Form::load() {
    return onLoad && dispatch(onLoad);
}

bool Form::activate() {
    if (activated_) {
        return false;
    }
    activated_ = true;
    return onActivate && dispatch(onActivate);
}

bool Form::unload() {
    return onUnload && dispatch(onUnload);
}

void Form::setFocus(Control* control) {
    moveFocus(control != nullptr && acceptsInput(*control) ? control : nullptr);
}

void Form::moveFocus(Control* control) {
    if (spacePressed_ != nullptr && spacePressed_ != control) {
        // Space was pressed on a button that lost the focus: no click.
        setDown(std::exchange(spacePressed_, nullptr), false);
    }
    focus_ = control;
    post({Change::What::Focus, control});
}

bool Form::dispatch(const std::function<void()>& handler) {
    if (failed_) {
        return false;
    }
    // What came before the handler goes out first, whatever it does.
    deliver();
    Control* const focus = focus_;
    const bool fullScreen = fullScreen_;
    std::exception_ptr failure;
    {
        const Step step(*this);
        try {
            handler();
        } catch (...) {
            failure = std::current_exception();
        }
        if (failure) {
            // None of a failed handler's work is shown: the report stands
            // over the window as it was before it.
            pending_.clear();
            said_.clear();
            focus_ = focus;
            fullScreen_ = fullScreen;
        }
    }
    if (failure) {
        failed_ = true;
        if (fatalReport_ != nullptr) {
            fatalReport_->report(explainFailure(failure));
        }
    }
    return true;
}

std::string Form::explainFailure(const std::exception_ptr& failure) const {
    if (explain) {
        return explain(failure);
    }
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return {};
    }
}

void Form::request(WindowRequest request) {
    fullScreen_ = request == WindowRequest::EnterFullScreen;
    post({Change::What::Window, nullptr, Property::Text, request});
}

void Form::inputChanged() {
    // A control that stops taking input gives up the focus to the window
    // itself, never to the next control, so a key meant for it presses
    // nothing else; a button held down stops being down.
    if (focus_ != nullptr && !acceptsInput(*focus_)) {
        moveFocus(nullptr);
    }
    for (Control** held : {&pressed_, &spacePressed_}) {
        if (*held != nullptr && !acceptsInput(**held)) {
            setDown(std::exchange(*held, nullptr), false);
        }
    }
}

Look Form::lookOf(const Control& control) const {
    bool enabled = true;
    for (const Control* c = &control; c != nullptr; c = c->container()) {
        enabled = enabled && c->enabled();
    }
    // A push button has the platform's own colours: the button face, and
    // the button text.
    const bool button = control.kind() == Kind::CommandButton;
    const Color back = button ? systemColor(kButtonFace) : control.backColor();
    Color fore = button ? systemColor(kButtonText) : control.foreColor();
    if (!enabled && (button || control.kind() == Kind::TextBox)) {
        fore = systemColor(kGreyText);
    }
    return {resolveColor(back), resolveColor(fore), enabled};
}

void Form::restyle(Control& control, bool held) {
    if (const Look look = lookOf(control); look != control.look_) {
        control.look_ = look;
        changed(control, Property::Look);
    }
    if (held) {
        for (Control* c : control.children()) {
            restyle(*c, true);
        }
    }
}

void Form::changed(Control& control, Property p) {
    post({Change::What::Property, &control, p});
}

void Form::post(const Change& change) {
    const Step step(*this);
    const auto same = [&change](const Change& c) {
        return c.what == change.what &&
               (change.what == Change::What::Focus ||
                (change.what == Change::What::Property && c.control == change.control &&
                 c.property == change.property));
    };
    if (change.what == Change::What::Focus) {
        // Only where the focus ends up is told, where it last moved.
        std::erase_if(pending_, same);
    } else if (std::any_of(pending_.begin(), pending_.end(), same)) {
        return;  // told once, as it stands when the step is done
    }
    pending_.push_back(change);
}

void Form::deliver() {
    // Taken first: the backend may report more input while it shows these.
    const std::vector<Change> changes = std::exchange(pending_, {});
    // Screen readers cut their speech short at every press of the mouse
    // button, and may learn of the press only after the program has
    // spoken: what a press made them say waits for its release.
    const std::vector<std::string> said =
        buttonDown_ ? std::vector<std::string>{} : std::exchange(said_, {});
    if (observer_ == nullptr) {
        return;
    }
    for (const Change& c : changes) {
        switch (c.what) {
            case Change::What::Property:
                observer_->propertyChanged(*c.control, c.property);
                break;
            case Change::What::Focus:
                if (c.control != shownFocus_) {
                    shownFocus_ = c.control;
                    observer_->focusChanged(c.control);
                }
                break;
            case Change::What::Window:
                observer_->windowRequested(c.request);
                break;
        }
    }
    for (const std::string& text : said) {
        observer_->announce(text);
    }
}

}  // namespace forms
