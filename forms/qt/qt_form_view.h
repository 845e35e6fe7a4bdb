// SPDX-License-Identifier: MIT
// Qt 6 Widgets backend (Linux): draws a forms::Form as a widget tree and
// reports the user's raw input to it, in twips. Every rule is the form's
// (clicks, focus, tab order, keys, looks, scale, fonts, window state); this
// backend carries out what the form hands it, in the order it comes. Its
// own state is what drawing needs: the widgets, the scale the window is
// zoomed to, the decoded pictures and the keys' repeats.
//
// Implemented:
//  - text boxes (read-only), labels, frames, push buttons (the graphical
//    one with its picture above its caption), picture boxes; the stacking
//    and the clipping of frames;
//  - each control's look as the form gives it, redrawn only when the form
//    says it changed;
//  - the left button's press, move, release and double-press; Tab,
//    Shift+Tab, Space, Enter, Escape and F11, with the repeats of a held
//    key told from new presses (X does not always mark them); the question
//    and the error box take only keys pressed after they opened;
//  - tooltips; the window fitted to the screen at start, zoomed with its
//    size, full screen; pictures drawn at 1x, 2x or 3x; the embedded fonts;
//  - screen readers (AT-SPI): every control's name and description, cells
//    and slots without a text interface, the form's announcements spoken
//    through a notification of their own.
// Not implemented: typing into a text box, the right button, the wheel, and
// any key but the six above.
#pragma once

#include <QColor>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QWidget>
#include <string>
#include <unordered_map>

#include "forms/form.h"
#include "forms/geometry.h"

namespace qtforms {

QColor toQColor(forms::Color c);

// The embedded picture `file` (":/pictures/" + file), decoded as the PNG it
// is, whatever its name says: Qt then loads no image plug-in at all (asked
// to guess, it would load every one it finds). Null if there is none.
QPixmap embeddedPicture(const QString& file);

// The pictures as drawn: each decoded from the drawing of the density in
// use when first asked for, and smoothly scaled to the size it is shown at.
// A change of density drops every picture of the old one.
class Pictures {
  public:
    // The picture `name` drawn unscaled at a scale: its pixels are 15 twips
    // each. The pixmap carries the device pixel ratio; null if none.
    QPixmap at(const std::string& name, const forms::Scale& scale, qreal devicePixelRatio);

  private:
    int density_ = 0;
    std::unordered_map<std::string, QPixmap> decoded_;  // at density_
    std::unordered_map<std::string, QPixmap> sized_;    // the last size asked
};

class QtFormView : public QWidget, public forms::FormObserver {
  public:
    // The window opens at the platform's own scale, 15 twips to a
    // device-independent pixel; the board zooms with the window.
    explicit QtFormView(forms::Form& form, QWidget* parent = nullptr);
    ~QtFormView() override;
    QtFormView(const QtFormView&) = delete;
    QtFormView& operator=(const QtFormView&) = delete;

    // The widget that draws a control.
    QWidget* widgetFor(const forms::Control& control) const;
    // Pixel rectangle of a control in the view's coordinates.
    QRect pixelRect(const forms::Control& control) const;

    // Sizes and places the window for its screen before it is first shown:
    // the platform's scale, reduced only as far as needed for the whole
    // window, frame included, to fit the screen's available area. Once the
    // window manager has framed it, the fit is checked again with the real
    // frame.
    void openOnScreen();

    void propertyChanged(forms::Control& control, forms::Property property) override;
    void focusChanged(forms::Control* control) override;
    void windowRequested(forms::WindowRequest request) override;
    void announce(const std::string& text) override;

  protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void changeEvent(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void moveEvent(QMoveEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

  private:
    QWidget* createWidget(forms::Control& control, QWidget* parent);
    void applyAll(forms::Control& control);
    void apply(forms::Control& control, forms::Property property);
    void applyLook(forms::Control& control);
    void applyPicture(forms::Control& control);
    void applyAccessible(forms::Control& control);
    // Places every widget, and sets every font and picture, at scale_.
    void layoutAll();
    // The scale for the view's size: the base scale, zoomed to fill it.
    void rescale();
    // The font drawn for a model font, at the pixel size of the scale.
    QFont toQFont(const forms::Font& font);
    // Fits the window to the available area of its screen, with a frame of
    // that many pixels.
    void fitToScreen(int frameWidth, int frameHeight);
    // Once the window is framed, fits it again with the frame's real size.
    void checkFrame();
    forms::Point twipsAt(const QPoint& pos) const;
    // Reports a key event to the form; false for keys the form does not use.
    bool reportKey(const QKeyEvent* key, bool press);

    forms::Form& form_;
    forms::Scale scale_;
    double baseScale_;  // pixels per twip before any zoom
    Pictures pictures_;
    forms::FontFamilies families_;
    std::unordered_map<const forms::Control*, QWidget*> widgets_;
    bool frameChecked_ = true;  // until openOnScreen asks for a check
    // What screen readers speak the form's announcements from: a
    // notification under every control, one pixel, with nothing to draw.
    QLabel* announcer_;
};

}  // namespace qtforms
