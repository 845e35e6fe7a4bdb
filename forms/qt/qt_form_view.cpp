#include "forms/qt/qt_form_view.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <algorithm>
#include <cmath>

namespace qtforms {

using forms::Control;
using forms::Kind;
using forms::Property;

namespace {

QPixmap pictureFor(const std::string& name) {
    if (name.empty()) {
        return {};
    }
    return {QStringLiteral(":/pictures/") + QString::fromStdString(name)};
}

Qt::Alignment toQtAlignment(forms::Alignment a) {
    switch (a) {
        case forms::Alignment::Center:
            return Qt::AlignHCenter;
        case forms::Alignment::Right:
            return Qt::AlignRight;
        case forms::Alignment::Left:
            break;
    }
    return Qt::AlignLeft;
}

// A stack of controls listed from the bottom up.
std::vector<Control*> bottomUp(const std::vector<Control*>& topFirst) {
    return {topFirst.rbegin(), topFirst.rend()};
}

// A read-only text box. Taking the focus from the keyboard selects nothing.
class TextBox : public QLineEdit {
  public:
    using QLineEdit::QLineEdit;

  protected:
    void focusInEvent(QFocusEvent* e) override {
        QLineEdit::focusInEvent(e);
        deselect();
    }
};

// Fills its back colour and draws its picture unscaled from the top-left
// corner; transparent pixels show the back colour.
class PictureBox : public QWidget {
  public:
    PictureBox(QPixmap picture, QWidget* parent) : QWidget(parent), picture_(std::move(picture)) {}

  protected:
    void paintEvent(QPaintEvent* /*e*/) override {
        QPainter p(this);
        p.fillRect(rect(), palette().color(QPalette::Window));
        p.drawPixmap(0, 0, picture_);
    }

  private:
    QPixmap picture_;
};

}  // namespace

int toPixels(forms::Twips t) {
    return static_cast<int>(std::floor(static_cast<double>(t) / kTwipsPerPixel + 0.5));
}

forms::Twips toTwips(int pixel) {
    return pixel * kTwipsPerPixel + kTwipsPerPixel / 2;
}

QColor toQColor(forms::Color c) {
    const forms::Color v = forms::resolveColor(c);
    return {static_cast<int>(forms::redOf(v)), static_cast<int>(forms::greenOf(v)),
            static_cast<int>(forms::blueOf(v))};
}

QFont toQFont(const forms::Font& font) {
    QString family = QStringLiteral("Liberation Sans");
    if (font.name == "Comic Sans MS") {
        family = QStringLiteral("Comic Neue");
    }
    QFont f(family);
    // Points at 96 dots per inch; the platform scales pixels above that.
    const double points = static_cast<double>(font.size) / 10000.0;
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(points * 96.0 / 72.0))));
    f.setBold(font.bold);
    f.setItalic(font.italic);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

QtFormView::QtFormView(forms::Form& form, QWidget* parent) : QWidget(parent), form_(form) {
    setWindowTitle(QString::fromStdString(form.caption()));
    setFixedSize(toPixels(form.clientWidth()), toPixels(form.clientHeight()));
    setMouseTracking(false);
    // Controls are created from the bottom of each stack up, so that each
    // new widget lies above the ones before it.
    for (Control* c : bottomUp(form.children())) {
        createWidget(*c, this);
    }
    // Tab order follows TabIndex over the controls that take the focus.
    std::vector<Control*> order;
    for (Control* c : form.controls()) {
        if (c->focusable()) {
            order.push_back(c);
        }
    }
    std::sort(order.begin(), order.end(),
              [](const Control* a, const Control* b) { return a->tabIndex < b->tabIndex; });
    for (std::size_t i = 1; i < order.size(); ++i) {
        QWidget::setTabOrder(widgetFor(*order[i - 1]), widgetFor(*order[i]));
    }
    activation_.setSingleShot(true);
    connect(&activation_, &QTimer::timeout, this, [this] { form_.activate(); });
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* /*old*/, QWidget* now) {
        const auto it = controls_.find(now);
        form_.noteFocus(it != controls_.end() ? it->second : nullptr);
    });
    form.setObserver(this);
}

QtFormView::~QtFormView() {
    form_.setObserver(nullptr);
}

QWidget* QtFormView::widgetFor(const Control& control) const {
    const auto it = widgets_.find(&control);
    return it != widgets_.end() ? it->second : nullptr;
}

QRect QtFormView::pixelRect(const Control& control) const {
    const forms::Rect r = form_.windowRect(control);
    const int left = toPixels(r.left);
    const int top = toPixels(r.top);
    return {left, top, toPixels(r.right()) - left, toPixels(r.bottom()) - top};
}

QWidget* QtFormView::createWidget(Control& control, QWidget* parent) {
    QWidget* w = nullptr;
    switch (control.kind()) {
        case Kind::TextBox: {
            auto* edit = new TextBox(parent);
            edit->setReadOnly(true);
            edit->setFrame(true);
            edit->setAlignment(toQtAlignment(control.alignment) | Qt::AlignVCenter);
            edit->setFocusPolicy(Qt::TabFocus);
            edit->setContextMenuPolicy(Qt::NoContextMenu);
            w = edit;
            break;
        }
        case Kind::Label: {
            auto* label = new QLabel(parent);
            label->setWordWrap(true);
            label->setAutoFillBackground(true);
            label->setAlignment(toQtAlignment(control.alignment) | Qt::AlignTop);
            label->setMargin(0);
            label->setIndent(0);
            label->setTextFormat(Qt::PlainText);
            w = label;
            break;
        }
        case Kind::Frame: {
            auto* frame = new QFrame(parent);
            frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
            frame->setAutoFillBackground(true);
            w = frame;
            break;
        }
        case Kind::CommandButton: {
            if (control.style == 1) {
                auto* button = new QToolButton(parent);
                const QPixmap picture = pictureFor(control.picture);
                button->setIcon(QIcon(picture));
                button->setIconSize(picture.size());
                button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
                w = button;
            } else {
                w = new QPushButton(parent);
            }
            w->setFocusPolicy(Qt::TabFocus);
            w->installEventFilter(this);
            break;
        }
        case Kind::PictureBox:
            w = new PictureBox(pictureFor(control.picture), parent);
            break;
    }
    if (!control.focusable()) {
        w->setFocusPolicy(Qt::NoFocus);
    }
    // The view takes every mouse event itself and asks the form where it goes.
    w->setAttribute(Qt::WA_TransparentForMouseEvents);
    w->setObjectName(QString::fromStdString(
        control.index() >= 0 ? control.name() + "(" + std::to_string(control.index()) + ")"
                             : control.name()));
    widgets_[&control] = w;
    controls_[w] = &control;

    const QRect r = pixelRect(control);
    const QPoint origin = parent == this ? QPoint(0, 0) : parent->mapTo(this, QPoint(0, 0));
    w->setGeometry(r.translated(-origin));
    for (Control* c : bottomUp(control.children())) {
        createWidget(*c, w);
    }
    applyAll(control);
    return w;
}

void QtFormView::applyAll(Control& control) {
    for (const Property p : {Property::Text, Property::BackColor, Property::Font, Property::Enabled,
                             Property::Visible}) {
        apply(control, p);
    }
}

void QtFormView::applyColors(Control& control) {
    QWidget* w = widgetFor(control);
    QPalette pal = w->palette();
    const QColor back = toQColor(control.backColor());
    const QColor fore = toQColor(control.foreColor());
    switch (control.kind()) {
        case Kind::TextBox:
            for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
                pal.setColor(group, QPalette::Base, back);
                pal.setColor(group, QPalette::Window, back);
                pal.setColor(group, QPalette::Text, fore);
            }
            pal.setColor(QPalette::Disabled, QPalette::Text, toQColor(forms::systemColor(17)));
            break;
        case Kind::Label:
        case Kind::Frame:
        case Kind::PictureBox:
            for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
                pal.setColor(group, QPalette::Window, back);
                pal.setColor(group, QPalette::WindowText, fore);
            }
            break;
        case Kind::CommandButton:
            // A standard button keeps the platform's colours.
            return;
    }
    w->setPalette(pal);
}

void QtFormView::propertyChanged(Control& control, Property property) {
    apply(control, property);
}

void QtFormView::apply(Control& control, Property property) {
    QWidget* w = widgetFor(control);
    if (w == nullptr) {
        return;
    }
    const QString text = QString::fromStdString(control.text());
    switch (property) {
        case Property::Text:
            if (auto* edit = dynamic_cast<QLineEdit*>(w)) {
                edit->setText(text);
            } else if (auto* label = dynamic_cast<QLabel*>(w)) {
                label->setText(text);
            } else if (auto* button = dynamic_cast<QAbstractButton*>(w)) {
                button->setText(text);
            }
            break;
        case Property::BackColor:
        case Property::ForeColor:
            applyColors(control);
            break;
        case Property::Font:
            w->setFont(toQFont(control.font()));
            break;
        case Property::Enabled:
            w->setEnabled(control.enabled());
            break;
        case Property::Visible:
            // Hiding the control that holds the focus (the board, when a
            // double-clicked cell calls its number) hands the focus to the
            // window rather than to the next control in the tab order, so
            // that a stray Enter presses no button.
            if (!control.visible() && w->isAncestorOf(QApplication::focusWidget())) {
                setFocus(Qt::OtherFocusReason);
            }
            w->setVisible(control.visible());
            break;
        case Property::Tag:
        case Property::ToolTipText:
            break;
    }
}

void QtFormView::focusRequested(Control* control) {
    if (control == nullptr) {
        activateWindow();
        setFocus(Qt::OtherFocusReason);
        return;
    }
    if (QWidget* w = widgetFor(*control)) {
        w->setFocus(Qt::OtherFocusReason);
    }
}

forms::Point QtFormView::twipsAt(const QPoint& pos) {
    return {toTwips(pos.x()), toTwips(pos.y())};
}

forms::Control* QtFormView::buttonAt(const QPoint& pos) const {
    Control* c = form_.controlAt(twipsAt(pos));
    return c != nullptr && c->kind() == Kind::CommandButton ? c : nullptr;
}

void QtFormView::setButtonDown(Control* button, bool down) {
    if (auto* b = dynamic_cast<QAbstractButton*>(widgetFor(*button))) {
        b->setDown(down);
    }
}

void QtFormView::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) {
        return;
    }
    Control* c = form_.controlAt(twipsAt(e->position().toPoint()));
    if (c == nullptr || !form_.acceptsInput(*c)) {
        return;
    }
    if (c->focusable()) {
        widgetFor(*c)->setFocus(Qt::MouseFocusReason);
    }
    if (c->kind() == Kind::CommandButton) {
        pressed_ = c;
        setButtonDown(c, true);
    }
}

void QtFormView::mouseMoveEvent(QMouseEvent* e) {
    if (pressed_ != nullptr) {
        setButtonDown(pressed_, buttonAt(e->position().toPoint()) == pressed_);
    }
}

void QtFormView::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) {
        return;
    }
    const QPoint pos = e->position().toPoint();
    Control* pressed = std::exchange(pressed_, nullptr);
    if (pressed != nullptr) {
        setButtonDown(pressed, false);
        if (buttonAt(pos) != pressed) {
            return;  // released elsewhere: no click
        }
    }
    form_.clickAt(twipsAt(pos));
}

void QtFormView::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) {
        return;
    }
    // A push button takes the second press of a double-click as a press like
    // any other, clicked on release; whether or not the platform also sent
    // that press, the button gets exactly two clicks.
    if (buttonAt(e->position().toPoint()) != nullptr) {
        mousePressEvent(e);
        return;
    }
    form_.dblClickAt(twipsAt(e->position().toPoint()));
}

bool QtFormView::eventFilter(QObject* watched, QEvent* e) {
    const auto it = controls_.find(qobject_cast<QWidget*>(watched));
    if (it == controls_.end() || it->second->kind() != Kind::CommandButton) {
        return QWidget::eventFilter(watched, e);
    }
    Control& button = *it->second;
    if (e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease) {
        const auto* key = static_cast<QKeyEvent*>(e);
        const bool press = e->type() == QEvent::KeyPress;
        switch (key->key()) {
            case Qt::Key_Space:
                // Down while Space is held, a click when it is let go.
                if (!key->isAutoRepeat()) {
                    setButtonDown(&button, press);
                    if (!press) {
                        form_.keyClick(button);
                    }
                }
                return true;
            case Qt::Key_Return:
            case Qt::Key_Enter:
                if (press) {
                    form_.keyClick(button);
                }
                return true;
            default:
                break;
        }
    }
    return QWidget::eventFilter(watched, e);
}

bool QtFormView::event(QEvent* e) {
    if (e->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(e);
        const Control* c = form_.controlAt(twipsAt(help->pos()));
        if (c != nullptr && !c->toolTipText().empty()) {
            QToolTip::showText(help->globalPos(), QString::fromStdString(c->toolTipText()), this,
                               pixelRect(*c));
        } else {
            QToolTip::hideText();
            e->ignore();
        }
        return true;
    }
    return QWidget::event(e);
}

void QtFormView::paintEvent(QPaintEvent* /*e*/) {
    QPainter p(this);
    p.fillRect(rect(), toQColor(form_.backColor));
    p.drawPixmap(0, 0, pictureFor(form_.picture));
}

void QtFormView::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (!shown_) {
        shown_ = true;
        // The window becomes active once, right after it first shows.
        activation_.start(0);
    }
}

void QtFormView::closeEvent(QCloseEvent* e) {
    form_.unload();
    e->accept();
}

}  // namespace qtforms
