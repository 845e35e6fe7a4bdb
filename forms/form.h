// SPDX-License-Identifier: MIT
// The forms model: a window and its standard controls, with the properties
// and events the board uses. It knows nothing of any toolkit; a backend
// renders it and turns native input into its events.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "forms/color.h"

namespace platform {
class FatalReport;
}  // namespace platform

namespace forms {

class Form;

// Positions and sizes are twips (1440 to the inch, 15 to a pixel at 96 dpi).
using Twips = int;

struct Point {
    Twips x = 0;
    Twips y = 0;
};

struct Rect {
    Twips left = 0;
    Twips top = 0;
    Twips width = 0;
    Twips height = 0;

    Twips right() const { return left + width; }
    Twips bottom() const { return top + height; }
    bool contains(Point p) const {
        return p.x >= left && p.x < right() && p.y >= top && p.y < bottom();
    }
};

// A font size as the platform keeps it: a fixed-point decimal with four
// decimal places, i.e. a count of ten-thousandths of a point.
using FontSize4 = std::int64_t;

FontSize4 toFontSize4(float points);
float toPoints(FontSize4 size);

struct Font {
    std::string name;
    FontSize4 size = 0;
    bool bold = false;
    bool italic = false;
    bool operator==(const Font&) const = default;
};

enum class Kind { TextBox, Label, Frame, CommandButton, PictureBox };

// What changed, for the backend to redraw. Look is how the control is drawn
// (Control::look); Down is the pushed-in look of a push button held by the
// mouse or by Space; Accessible is what screen readers are told of it
// (Form::accessible). A backend is told only of real changes.
enum class Property { Text, Tag, Font, Visible, ToolTipText, Down, Look, Accessible };

// How a control is drawn as things stand: its colours as plain RGB values,
// and whether it draws as enabled, which it does while it and every frame
// that holds it are enabled. A text box that does not shows its text in the
// grey of disabled text, and so does a push button's caption.
struct Look {
    Color back = 0;
    Color fore = 0;
    bool enabled = true;
    bool operator==(const Look&) const = default;
};

// The keys the window reacts to, as a backend reports them.
enum class Key { Tab, BackTab, Space, Enter, Escape, F11 };

// Tells the system's repeats of a key held down from new presses. A press
// of a key that is still down (pressed, not let go since, and pressed last
// no longer ago than a repeat can follow) is a repeat, as is any press the
// platform marks. For a platform that sends each repeat as a release and a
// press at the same instant and does not always mark them, a press at the
// very instant its key was let go is a repeat too. Keys are the platform's
// own codes; times its clock, in ms, with 0 for an event that carries no
// time (one a program made, or passed on).
class KeyRepeats {
  public:
    // The longest a system waits before it repeats a held key (its repeat
    // delay, which a user may set up to a second), with room to spare. A
    // release lost on the way (the key let go as a box closed) stops
    // counting once this long has passed.
    static constexpr std::uint64_t kLongestRepeatGap = 1200;

    // A key went down; returns whether the press is a repeat.
    bool press(int key, bool autoRepeat, std::uint64_t time);
    void release(int key, std::uint64_t time);
    // Keys let go where the window could not see it (it lost the keyboard).
    void forget() { down_.clear(); }
    // Forgets the keys that are not down as `held` tells.
    void keepOnly(const std::function<bool(int)>& held) {
        std::erase_if(down_, [&held](const auto& k) { return !held(k.first); });
    }

  private:
    std::vector<std::pair<int, std::uint64_t>> released_;  // key, when
    std::vector<std::pair<int, std::uint64_t>> down_;      // key, last pressed
};

// Which keys a box the program opens (the question, the error box) may act
// on: only keys pressed after it opened. A key already down when it opened
// (the Enter that opened it, held on) is passed over with all its repeats
// until it is let go, so that no held key can answer the box. Keys are the
// platform's own codes.
class ModalKeys {
  public:
    // A key went down; repeat when the system repeats a key held down.
    // Returns whether the box may act on it.
    bool press(int key, bool repeat);
    // A key was let go. Returns whether the box may act on it.
    bool release(int key);

  private:
    std::vector<int> down_;  // pressed since the box opened, not let go yet
};

// What the window asks of the backend's top-level window.
enum class WindowRequest { EnterFullScreen, LeaveFullScreen };

enum class Alignment { Left = 0, Center = 2 };

// The Style of a graphical push button.
inline constexpr int kGraphicalStyle = 1;

// What a screen reader is told of a control.
struct Accessible {
    std::string name;
    std::string description;
    bool operator==(const Accessible&) const = default;
};

class Control {
  public:
    Control(Form& form, Kind kind, std::string name, int index, Control* container, Rect rect);
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    Kind kind() const { return kind_; }
    const std::string& name() const { return name_; }
    // The place in its control array, or -1 for a control that is not in one.
    int index() const { return index_; }
    // The frame that holds this control, or nullptr when the window does.
    Control* container() const { return container_; }
    // Controls held by this one, the top of the stack first.
    const std::vector<Control*>& children() const { return children_; }
    // Outer rectangle within the container's client area.
    const Rect& rect() const { return rect_; }

    // Text boxes show Text; labels, frames and buttons show Caption. Both
    // name the one string a control displays.
    const std::string& text() const { return text_; }
    void setText(std::string text);
    const std::string& caption() const { return text_; }
    void setCaption(std::string caption) { setText(std::move(caption)); }

    const std::string& tag() const { return tag_; }
    void setTag(std::string tag);

    Color backColor() const { return backColor_; }
    void setBackColor(Color c);
    Color foreColor() const { return foreColor_; }
    void setForeColor(Color c);

    const Font& font() const { return font_; }
    void setFont(Font font);
    bool fontBold() const { return font_.bold; }
    void setFontBold(bool bold);
    // FontSize in single precision; setting it stores the nearest
    // ten-thousandth of a point.
    float fontSize() const { return toPoints(font_.size); }
    void setFontSize(float points);
    // The Size of the Font, exactly as stored.
    void setFontSize4(FontSize4 size);

    bool enabled() const { return enabled_; }
    void setEnabled(bool enabled);
    bool visible() const { return visible_; }
    void setVisible(bool visible);

    const std::string& toolTipText() const { return toolTip_; }
    void setToolTipText(std::string text);

    // Layout-time properties: set while the window is built, then only read.
    int tabIndex = 0;
    Alignment alignment = Alignment::Left;
    // Resource name of the picture the control shows, or "".
    std::string picture;
    // kGraphicalStyle for a push button that shows its picture with the
    // caption beneath, 0 for a standard one.
    int style = 0;

    // Handlers; each receives the control's index.
    std::function<void(int)> onClick;
    std::function<void(int)> onDblClick;

    // What screen readers are told of the control, when the program says
    // more than its text and tooltip (Form::accessible).
    void setAccessible(Accessible accessible);

    // Whether the control can take the keyboard focus at all.
    bool focusable() const { return kind_ == Kind::TextBox || kind_ == Kind::CommandButton; }
    // Whether a push button is drawn pushed in (held by the mouse or Space).
    bool down() const { return down_; }
    // How it is drawn now.
    const Look& look() const { return look_; }

  private:
    friend class Form;
    void changed(Property p);

    Form* form_;
    Kind kind_;
    std::string name_;
    int index_;
    Control* container_;
    Rect rect_;
    std::vector<Control*> children_;
    std::string text_;
    std::string tag_;
    Color backColor_ = 0;
    Color foreColor_ = 0;
    Font font_;
    bool enabled_ = true;
    bool visible_ = true;
    bool down_ = false;
    std::string toolTip_;
    Look look_;
    std::optional<Accessible> accessible_;
};

// Told of what the form changed, so that a backend can show it. The form
// hands it over as one ordered stream: what a handler changed reaches the
// backend when the handler has ended well, in the order it happened, each
// property of each control once and the focus where it ended up; what a
// failed handler changed never reaches it. Announcements come last, after
// the focus change whose speech would otherwise cut them off. A backend
// carries each one out as it comes, and defers nothing.
class FormObserver {
  public:
    virtual ~FormObserver() = default;
    virtual void propertyChanged(Control& control, Property property) = 0;
    // The focus moved: to a control, or nullptr for the window itself.
    virtual void focusChanged(Control* control) = 0;
    // The window asks to enter or leave full screen.
    virtual void windowRequested(WindowRequest request) = 0;
    // Screen readers are to say this now, whatever has the focus.
    virtual void announce(const std::string& text) = 0;
};

class Form {
  public:
    Form(std::string name, std::string caption, Twips clientWidth, Twips clientHeight);
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;
    ~Form();

    const std::string& caption() const { return caption_; }
    Twips clientWidth() const { return clientWidth_; }
    Twips clientHeight() const { return clientHeight_; }
    Color backColor = 0;
    std::string picture;

    // Adds a control at the bottom of the stack of its container (nullptr:
    // the window). Build from the top of each stack down.
    Control& add(Kind kind, std::string name, int index, Control* container, Rect rect);

    // The control of that name and index; throws std::out_of_range if none.
    Control& control(std::string_view name, int index = -1) const;
    // Every control, in the order they were added.
    std::vector<Control*> controls() const;
    // The window's own controls, the top of the stack first.
    const std::vector<Control*>& children() const { return children_; }
    // The control's outer rectangle in window client coordinates.
    Rect windowRect(const Control& control) const;

    // Where input goes.
    // The topmost visible control under a point of the client area, looking
    // into frames; nullptr where only the window itself is.
    Control* controlAt(Point p) const;
    // Whether input can reach the control: it and every container enabled
    // and visible.
    bool acceptsInput(const Control& control) const;

    // Raw input, as a backend reports it (left button only, points in twips
    // of the client area). The form decides everything else: which control
    // gets the focus, when a push button is down, and which Click or
    // DblClick is raised. What each report changes reaches the backend when
    // it has been dealt with.
    //  - A press on a control that takes the focus gives it the focus, but
    //    a push button takes it only when it clicks, right before its Click
    //    (a press dragged off it moves nothing, and a button that its own
    //    Click disables never holds the focus).
    //  - A push button clicks when the press and the release both fall on
    //    it and it still takes input; a press elsewhere clicks nothing.
    //  - A double-press on a push button is one more press; on any other
    //    control that takes input it raises DblClick.
    //  - Space clicks the focused button when let go, if it was also pressed
    //    there; Enter clicks it when pressed. Auto-repeated keys never click.
    //  - Enter elsewhere goes to onEnter (with the focused control, or
    //    nullptr for the window).
    //  - Tab and Shift+Tab move the focus along TabIndex over the controls
    //    that can take it. F11 asks for full screen and out of it, Escape
    //    out of it.
    // When the focused control stops taking input (disabled or hidden, by
    // itself or with its frame), the focus goes to the window itself.
    void pointerPress(Point p);
    void pointerMove(Point p);
    void pointerRelease(Point p);
    void pointerDoublePress(Point p);
    void keyDown(Key key, bool autoRepeat);
    void keyUp(Key key);

    // Enter not taken by a focused push button; not raised when repeated.
    std::function<void(Control*)> onEnter;

    // What a screen reader is told of a control: what the program set with
    // Control::setAccessible, else its text, described by its tooltip.
    // Property::Accessible tells the backend when it changes.
    static Accessible accessible(const Control& control);

    // Has screen readers say `text` once the running handler has ended well
    // (at once outside a handler), after every other change it made.
    void announce(std::string text);

    // Whether the window is in full screen: as the form asked for it, or as
    // the backend notes it when something else (the window manager) moved
    // it in or out.
    bool fullScreen() const { return fullScreen_; }
    void noteFullScreen(bool fullScreen) { fullScreen_ = fullScreen; }

    // Window events. Activate is raised once only, however often the
    // window becomes active again: a backend raises it right after it has
    // first shown the window.
    std::function<void()> onLoad;
    std::function<void()> onActivate;
    std::function<void()> onUnload;
    bool load();
    bool activate();
    bool unload();

    // Keyboard focus as the program asks for it: a control, or nullptr for
    // the window itself. A control that cannot take input leaves the focus
    // on the window.
    void setFocus(Control* control);
    Control* focus() const { return focus_; }
    // The controls Tab walks, in TabIndex order.
    std::vector<Control*> tabOrder() const;

    void setObserver(FormObserver* observer) { observer_ = observer; }
    void setFatalReport(platform::FatalReport* report) { fatalReport_ = report; }
    // How a failure is worded for the user; by default, what it says of
    // itself. The program gives its own words.
    std::function<std::string(const std::exception_ptr&)> explain;
    std::string explainFailure(const std::exception_ptr& failure) const;
    // True once a handler failed: the failure was reported and nothing more
    // is dispatched; the program is to end with a non-zero status.
    bool failed() const { return failed_; }

    // Runs a handler the way every event is run: nothing after a failure,
    // and any failure that escapes it reported once. Returns whether it ran.
    // The backend is told of what the handler changed when it has ended
    // well. A failed handler's changes are never told, the focus and the
    // window state are put back as they were, and the failure is reported
    // over the window as it stood before the handler.
    bool dispatch(const std::function<void()>& handler);

  private:
    friend class Control;
    // One entry of the stream the backend is handed.
    struct Change {
        enum class What { Property, Focus, Window } what = What::Property;
        Control* control = nullptr;
        Property property = Property::Text;
        WindowRequest request = WindowRequest::EnterFullScreen;
    };
    // Holds back what the form changes until the outermost step is done.
    class Step;
    void changed(Control& control, Property p);
    void post(const Change& change);
    // Hands the backend everything held back, in order.
    void deliver();
    // The input a control's Enabled or Visible decides moved on.
    void inputChanged();
    // Works out the look of a control, and of every control it holds with
    // `held`, and tells the backend of each that changed.
    void restyle(Control& control, bool held);
    Look lookOf(const Control& control) const;
    void request(WindowRequest request);
    static Control* hit(const std::vector<Control*>& stack, Point p);
    void moveFocus(Control* control);
    void setDown(Control* button, bool down);
    void click(Control& control, bool takeFocus = false);
    void dblClick(Control& control);
    void tab(bool forward);

    std::string name_;
    std::string caption_;
    Twips clientWidth_;
    Twips clientHeight_;
    std::vector<std::unique_ptr<Control>> owned_;
    std::vector<Control*> children_;
    Control* focus_ = nullptr;
    Control* pressed_ = nullptr;       // where the left button went down
    Control* spacePressed_ = nullptr;  // the button Space went down on
    FormObserver* observer_ = nullptr;
    platform::FatalReport* fatalReport_ = nullptr;
    bool failed_ = false;
    bool activated_ = false;
    bool fullScreen_ = false;
    bool buttonDown_ = false;        // the left button is down
    int steps_ = 0;                  // input reports and handlers under way
    std::vector<Change> pending_;    // held back, in order
    std::vector<std::string> said_;  // announcements held back
    Control* shownFocus_ = nullptr;  // the focus as the backend was last told
};

}  // namespace forms
