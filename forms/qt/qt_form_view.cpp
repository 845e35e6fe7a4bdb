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

QColor toQColor(forms::Color c) {
    const forms::Color v = forms::resolveColor(c);
    return {static_cast<int>(forms::redOf(v)), static_cast<int>(forms::greenOf(v)),
            static_cast<int>(forms::blueOf(v))};
}

QFont toQFont(const forms::Font& font, const forms::Scale& scale) {
    QFont f(QString::fromStdString(forms::standInFamily(font.name)));
    f.setPixelSize(scale.fontPixels(font.size));
    f.setBold(font.bold);
    f.setItalic(font.italic);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

QtFormView::QtFormView(forms::Form& form, QWidget* parent) : QWidget(parent), form_(form) {
    setWindowTitle(QString::fromStdString(form.caption()));
    setFixedSize(scale_.x(form.clientWidth()), scale_.y(form.clientHeight()));
    // The view holds the keyboard focus whenever the window itself has it;
    // the controls take it only when the form gives it to them.
    setFocusPolicy(Qt::StrongFocus);
    // Controls are created from the bottom of each stack up, so that each
    // new widget lies above the ones before it.
    for (Control* c : bottomUp(form.children())) {
        createWidget(*c, this);
    }
    activation_.setSingleShot(true);
    connect(&activation_, &QTimer::timeout, this, [this] { form_.activate(); });
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
            break;
        }
        case Kind::PictureBox:
            w = new PictureBox(pictureFor(control.picture), parent);
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
    return w;
}

void QtFormView::applyAll(Control& control) {
    for (const Property p : {Property::Text, Property::BackColor, Property::Font, Property::Enabled,
                             Property::Visible, Property::Down}) {
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
            w->setFont(toQFont(control.font(), scale_));
            break;
        case Property::Enabled:
            w->setEnabled(control.enabled());
            break;
        case Property::Visible:
            w->setVisible(control.visible());
            break;
        case Property::Down:
            if (auto* button = dynamic_cast<QAbstractButton*>(w)) {
                button->setDown(control.down());
            }
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
    if (press) {
        form_.keyDown(k, key->isAutoRepeat());
    } else if (!key->isAutoRepeat()) {
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
