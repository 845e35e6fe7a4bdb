// SPDX-License-Identifier: MIT
#include "forms/qt/qt_form_view.h"

#include "forms/qt/qt_platform.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFrame>
#include <QHelpEvent>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QToolTip>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>

namespace qtforms {

using forms::Control;
using forms::Kind;
using forms::Property;

namespace {

// The platform's own scale: 15 twips to a device-independent pixel.
constexpr double kPlatformScale = 1.0 / forms::kTwipsPerPixel;
// The frame a window manager is assumed to draw until the real one is known.
constexpr int kFrameWidthGuess = 16;
constexpr int kFrameHeightGuess = 48;

Qt::Alignment toQtAlignment(forms::Alignment a) {
    switch (a) {
        case forms::Alignment::Center:
            return Qt::AlignHCenter;
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

// The role (a QAccessible::Role) that a widget shows screen readers in
// place of its class's own, where that one would mislead them.
constexpr const char* kRoleProperty = "tabellone.accessibleRole";

// A widget with that property shows screen readers that role, its name,
// description and state, and nothing else: no text, nothing to edit.
QAccessibleInterface* accessibleWithRole(const QString& /*className*/, QObject* object) {
    if (!object->isWidgetType()) {
        return nullptr;
    }
    const QVariant role = object->property(kRoleProperty);
    return role.isValid() ? new QAccessibleWidget(static_cast<QWidget*>(object),
                                                  static_cast<QAccessible::Role>(role.toInt()))
                          : nullptr;
}

// A text box with no text for screen readers still reports its caret
// moving when its text is set, and Qt's AT-SPI bridge warns of each such
// report from a control without text: that warning alone is dropped.
QtMessageHandler previousMessageHandler = nullptr;

void dropCaretWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg && context.category != nullptr &&
        qstrcmp(context.category, "qt.accessibility.atspi") == 0 &&
        message.startsWith(QLatin1String("Sending TextCaretMoved from object that does not"))) {
        return;
    }
    previousMessageHandler(type, context, message);
}

// Fills its back colour and draws its picture from the top-left corner at
// the board's zoom; transparent pixels show the back colour.
class PictureBox : public QWidget {
  public:
    PictureBox(std::function<QPixmap()> picture, QWidget* parent)
        : QWidget(parent), picture_(std::move(picture)) {}

  protected:
    void paintEvent(QPaintEvent* /*e*/) override {
        QPainter p(this);
        p.fillRect(rect(), palette().color(QPalette::Window));
        p.drawPixmap(0, 0, picture_());
    }

  private:
    std::function<QPixmap()> picture_;
};

}  // namespace

QColor toQColor(forms::Color c) {
    const forms::Color v = forms::resolveColor(c);
    return {static_cast<int>(forms::redOf(v)), static_cast<int>(forms::greenOf(v)),
            static_cast<int>(forms::blueOf(v))};
}

QFont QtFormView::toQFont(const forms::Font& font) {
    QFont f(QString::fromStdString(families_.drawn(font.name)));
    f.setPixelSize(scale_.fontPixels(font.size));
    f.setBold(font.bold);
    f.setItalic(font.italic);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

QPixmap embeddedPicture(const QString& file) {
    QImageReader reader(QStringLiteral(":/pictures/") + file, "png");
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImageReader(&reader);
}

QPixmap Pictures::at(const std::string& name, const forms::Scale& scale, qreal devicePixelRatio) {
    if (name.empty()) {
        return {};
    }
    const int density = forms::pictureDensity(scale.pixelsPerTwip(), devicePixelRatio);
    if (density != density_) {
        density_ = density;
        decoded_.clear();
        sized_.clear();
    }
    auto found = decoded_.find(name);
    if (found == decoded_.end()) {
        const QString file = QString::fromStdString(forms::pictureAt(name, density));
        found = decoded_.emplace(name, embeddedPicture(file)).first;
    }
    const QPixmap& drawing = found->second;
    const forms::PixelSize drawn = forms::drawnPictureSize(
        {drawing.width(), drawing.height()}, density, scale.pixelsPerTwip(), devicePixelRatio);
    const QSize size(drawn.width, drawn.height);
    QPixmap& sized = sized_[name];
    if (sized.size() != size || sized.devicePixelRatio() != devicePixelRatio) {
        sized = drawing.size() == size
                    ? drawing
                    : drawing.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        sized.setDevicePixelRatio(devicePixelRatio);
    }
    return sized;
}

QtFormView::QtFormView(forms::Form& form, QWidget* parent)
    : QWidget(parent),
      form_(form),
      baseScale_(kPlatformScale),
      families_([](const std::string& family) {
          return QFontDatabase::hasFamily(QString::fromStdString(family));
      }),
      announcer_(new QLabel(this)) {
    static const bool once = [] {
        QAccessible::installFactory(accessibleWithRole);
        previousMessageHandler = qInstallMessageHandler(dropCaretWarnings);
        askForPlainKeyRepeats();
        return true;
    }();
    (void)once;
    setWindowTitle(QString::fromStdString(form.caption()));
    resize(scale_.x(form.clientWidth()), scale_.y(form.clientHeight()));
    // The view holds the keyboard focus whenever the window itself has it;
    // the controls take it only when the form gives it to them. A click
    // does not take it: the form decides where a press puts the focus.
    setFocusPolicy(Qt::TabFocus);
    // Made first, so that every control lies above it.
    announcer_->setProperty(kRoleProperty, QAccessible::Notification);
    announcer_->setObjectName(QStringLiteral("announcer"));
    announcer_->setGeometry(0, 0, 1, 1);
    announcer_->setAttribute(Qt::WA_TransparentForMouseEvents);
    // Controls are created from the bottom of each stack up, so that each
    // new widget lies above the ones before it.
    for (Control* c : bottomUp(form.children())) {
        createWidget(*c, this);
    }
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
    const forms::PixelRect r = forms::pixelRect(form_, control, scale_);
    return {r.left, r.top, r.width, r.height};
}

QWidget* QtFormView::createWidget(Control& control, QWidget* parent) {
    QWidget* w = nullptr;
    switch (control.kind()) {
        case Kind::TextBox: {
            auto* edit = new TextBox(parent);
            // A cell of the board or a slot of the strip, never edited:
            // screen readers read its name once, not its text line by line.
            edit->setProperty(kRoleProperty, QAccessible::Cell);
            edit->setReadOnly(true);
            edit->setFrame(true);
            edit->setAlignment(toQtAlignment(control.alignment) | Qt::AlignVCenter);
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
            if (control.style == forms::kGraphicalStyle) {
                auto* button = new QToolButton(parent);
                button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
                w = button;
            } else {
                w = new QPushButton(parent);
            }
            break;
        }
        case Kind::PictureBox:
            w = new PictureBox(
                [this, &control] {
                    return pictures_.at(control.picture, scale_, devicePixelRatioF());
                },
                parent);
            break;
    }
    // Qt moves no focus on its own: the form gives it. Keys reach the form
    // through the filter, whichever widget holds the focus; every mouse
    // event goes to the view, which reports it in twips.
    w->setFocusPolicy(Qt::NoFocus);
    w->installEventFilter(this);
    w->setAttribute(Qt::WA_TransparentForMouseEvents);
    w->setObjectName(QString::fromStdString(
        control.index() >= 0 ? control.name() + "(" + std::to_string(control.index()) + ")"
                             : control.name()));
    widgets_[&control] = w;

    const forms::PixelRect r = forms::pixelRect(form_, control, scale_, true);
    w->setGeometry(r.left, r.top, r.width, r.height);
    for (Control* c : bottomUp(control.children())) {
        createWidget(*c, w);
    }
    applyAll(control);
    applyPicture(control);
    return w;
}

void QtFormView::applyAll(Control& control) {
    for (const Property p :
         {Property::Text, Property::Look, Property::Font, Property::Visible, Property::Down}) {
        apply(control, p);
    }
    applyAccessible(control);
}

void QtFormView::applyPicture(Control& control) {
    // A picture box draws its own, when it is painted.
    if (auto* button = dynamic_cast<QToolButton*>(widgetFor(control))) {
        const QPixmap picture = pictures_.at(control.picture, scale_, devicePixelRatioF());
        button->setIcon(QIcon(picture));
        button->setIconSize(picture.deviceIndependentSize().toSize());
    }
}

// Each change reaches screen readers as an event: only real changes are
// set, so that a new round does not flood them with 180 events that say
// nothing new (a screen reader flooded drops what matters, such as the
// next call).
void QtFormView::applyAccessible(Control& control) {
    QWidget* w = widgetFor(control);
    const forms::Accessible a = form_.accessible(control);
    const QString name = QString::fromStdString(a.name);
    const QString description = QString::fromStdString(a.description);
    if (w->accessibleName() != name) {
        w->setAccessibleName(name);
    }
    if (w->accessibleDescription() != description) {
        w->setAccessibleDescription(description);
    }
}

void QtFormView::layoutAll() {
    for (Control* c : form_.controls()) {
        QWidget* w = widgetFor(*c);
        const forms::PixelRect r = forms::pixelRect(form_, *c, scale_, true);
        w->setGeometry(r.left, r.top, r.width, r.height);
        w->setFont(toQFont(c->font()));
        applyPicture(*c);
    }
    update();
}

void QtFormView::openOnScreen() {
    fitToScreen(kFrameWidthGuess, kFrameHeightGuess);
    frameChecked_ = false;
}

void QtFormView::fitToScreen(int frameWidth, int frameHeight) {
    const QRect available = screen()->availableGeometry();
    baseScale_ = forms::startScale(form_, kPlatformScale, available.width(), available.height(),
                                   frameWidth, frameHeight);
    const forms::Scale base(baseScale_, 0, 0);
    resize(base.x(form_.clientWidth()), base.y(form_.clientHeight()));
    rescale();
}

void QtFormView::checkFrame() {
    if (frameChecked_ || !isVisible() || isMaximized() || isFullScreen() || isMinimized()) {
        return;
    }
    const QMargins m = windowHandle()->frameMargins();
    if (m.isNull()) {
        return;  // not framed yet
    }
    frameChecked_ = true;
    const QRect available = screen()->availableGeometry();
    const int frameWidth = m.left() + m.right();
    const int frameHeight = m.top() + m.bottom();
    if (forms::startScale(form_, kPlatformScale, available.width(), available.height(), frameWidth,
                          frameHeight) != baseScale_) {
        fitToScreen(frameWidth, frameHeight);
    }
    // Where the window manager put it, unless part of it is off the area.
    const QRect outer(frameGeometry().topLeft(), size().grownBy(m));
    const forms::PixelRect kept = forms::keptOnArea(
        {outer.left(), outer.top(), outer.width(), outer.height()},
        {available.left(), available.top(), available.width(), available.height()});
    if (kept.left != outer.left() || kept.top != outer.top()) {
        move(kept.left, kept.top);
    }
}

void QtFormView::rescale() {
    const forms::Scale fitted = forms::fitToClient(form_, baseScale_, width(), height());
    if (fitted != scale_) {
        scale_ = fitted;
        layoutAll();
    }
}

void QtFormView::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    rescale();
    checkFrame();
}

void QtFormView::moveEvent(QMoveEvent* e) {
    QWidget::moveEvent(e);
    checkFrame();
}

void QtFormView::windowRequested(forms::WindowRequest request) {
    setWindowState(request == forms::WindowRequest::EnterFullScreen
                       ? windowState() | Qt::WindowFullScreen
                       : windowState() & ~Qt::WindowFullScreen);
}

void QtFormView::changeEvent(QEvent* e) {
    QWidget::changeEvent(e);
    if (e->type() == QEvent::WindowStateChange) {
        form_.noteFullScreen(isFullScreen());
    }
    if (e->type() == QEvent::ActivationChange) {
        followHeldKeys();
    }
}

// The look's colours in every state of the widget: the form has decided
// already what a control that takes no input looks like.
void QtFormView::applyLook(Control& control) {
    QWidget* w = widgetFor(control);
    const forms::Look& look = control.look();
    w->setEnabled(look.enabled);
    if (control.kind() == Kind::CommandButton) {
        return;  // a push button is drawn by the platform's style
    }
    QPalette pal = w->palette();
    const QColor back = toQColor(look.back);
    const QColor fore = toQColor(look.fore);
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        for (const auto role : {QPalette::Window, QPalette::Base}) {
            pal.setColor(group, role, back);
        }
        for (const auto role : {QPalette::WindowText, QPalette::Text}) {
            pal.setColor(group, role, fore);
        }
    }
    w->setPalette(pal);
}

void QtFormView::propertyChanged(Control& control, Property property) {
    apply(control, property);
}

// Screen readers speak a notification as it shows, whatever has the focus.
void QtFormView::announce(const std::string& text) {
    announcer_->setAccessibleName(QString::fromStdString(text));
    QAccessibleEvent shown(announcer_, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
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
        case Property::Look:
            applyLook(control);
            break;
        case Property::Font:
            w->setFont(toQFont(control.font()));
            break;
        case Property::Visible:
            w->setVisible(control.visible());
            break;
        case Property::Down:
            if (auto* button = dynamic_cast<QAbstractButton*>(w)) {
                button->setDown(control.down());
            }
            break;
        case Property::Accessible:
            applyAccessible(control);
            break;
        case Property::Tag:
        case Property::ToolTipText:
            break;
    }
}

void QtFormView::focusChanged(Control* control) {
    QWidget* w = control != nullptr ? widgetFor(*control) : this;
    if (w != nullptr) {
        // As if by Tab, so that the style draws the focus mark.
        w->setFocus(Qt::TabFocusReason);
    }
}

forms::Point QtFormView::twipsAt(const QPoint& pos) const {
    return scale_.toTwips(pos.x(), pos.y());
}

void QtFormView::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) {
        form_.pointerPress(twipsAt(e->position().toPoint()));
    }
}

void QtFormView::mouseMoveEvent(QMouseEvent* e) {
    if ((e->buttons() & Qt::LeftButton) != 0) {
        form_.pointerMove(twipsAt(e->position().toPoint()));
    }
}

void QtFormView::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) {
        form_.pointerRelease(twipsAt(e->position().toPoint()));
    }
}

void QtFormView::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) {
        form_.pointerDoublePress(twipsAt(e->position().toPoint()));
    }
}

bool QtFormView::reportKey(const QKeyEvent* key, bool press) {
    forms::Key k = forms::Key::Tab;
    switch (key->key()) {
        case Qt::Key_Tab:
            k = (key->modifiers() & Qt::ShiftModifier) != 0 ? forms::Key::BackTab : forms::Key::Tab;
            break;
        case Qt::Key_Backtab:
            k = forms::Key::BackTab;
            break;
        case Qt::Key_Space:
            k = forms::Key::Space;
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            k = forms::Key::Enter;
            break;
        case Qt::Key_Escape:
            k = forms::Key::Escape;
            break;
        case Qt::Key_F11:
            k = forms::Key::F11;
            break;
        default:
            return false;
    }
    const std::uint64_t time = keyTime(*key);
    if (press) {
        form_.keyDown(k, keyRepeats().press(key->key(), key->isAutoRepeat(), time));
    } else if (!key->isAutoRepeat()) {
        keyRepeats().release(key->key(), time);
        form_.keyUp(k);
    }
    return true;
}

bool QtFormView::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease) {
        return reportKey(static_cast<QKeyEvent*>(e), e->type() == QEvent::KeyPress);
    }
    return QWidget::eventFilter(watched, e);
}

bool QtFormView::event(QEvent* e) {
    if ((e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease) &&
        reportKey(static_cast<QKeyEvent*>(e), e->type() == QEvent::KeyPress)) {
        return true;
    }
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
    p.drawPixmap(scale_.originX(), scale_.originY(),
                 pictures_.at(form_.picture, scale_, devicePixelRatioF()));
}

void QtFormView::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    // The window becomes active as it shows; the form raises Activate the
    // first time only.
    form_.activate();
}

void QtFormView::closeEvent(QCloseEvent* e) {
    form_.unload();
    e->accept();
}

}  // namespace qtforms
