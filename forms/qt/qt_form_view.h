// Qt 6 Widgets backend: draws a forms::Form as a widget tree and reports
// the user's mouse and keyboard input to it, raw and in twips. It holds no
// rule and no input state: clicks, focus and tab order are the form's.
#pragma once

#include <QColor>
#include <QFont>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>
#include <unordered_map>

#include "forms/form.h"
#include "forms/geometry.h"

namespace qtforms {

QColor toQColor(forms::Color c);
// The font drawn for a model font: the free stand-in for its family, at the
// pixel size the scale gives.
QFont toQFont(const forms::Font& font, const forms::Scale& scale);

class QtFormView : public QWidget, public forms::FormObserver {
  public:
    explicit QtFormView(forms::Form& form, QWidget* parent = nullptr);
    ~QtFormView() override;
    QtFormView(const QtFormView&) = delete;
    QtFormView& operator=(const QtFormView&) = delete;

    forms::Form& form() const { return form_; }
    // The widget that draws a control.
    QWidget* widgetFor(const forms::Control& control) const;
    // Pixel rectangle of a control in the view's coordinates.
    QRect pixelRect(const forms::Control& control) const;

    void propertyChanged(forms::Control& control, forms::Property property) override;
    void focusChanged(forms::Control* control) override;

  protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

  private:
    QWidget* createWidget(forms::Control& control, QWidget* parent);
    void applyAll(forms::Control& control);
    void apply(forms::Control& control, forms::Property property);
    void applyColors(forms::Control& control);
    forms::Point twipsAt(const QPoint& pos) const;
    // Reports a key event to the form; false for keys the form does not use.
    bool reportKey(const QKeyEvent* key, bool press);

    forms::Form& form_;
    forms::Scale scale_;
    std::unordered_map<const forms::Control*, QWidget*> widgets_;
    bool shown_ = false;
    QTimer activation_;  // raises Activate once the window has first shown
};

}  // namespace qtforms
