// Qt 6 Widgets backend: draws a forms::Form as a widget tree and turns the
// user's mouse and keyboard input into the form's events. It holds no rule
// of the program: what input reaches which control is decided by the form.
#pragma once

#include <QColor>
#include <QFont>
#include <QTimer>
#include <QWidget>
#include <unordered_map>

#include "forms/form.h"

namespace qtforms {

// Twips per device-independent pixel.
inline constexpr int kTwipsPerPixel = 15;

// The pixel edge nearest to a twips coordinate. Both edges of a control are
// rounded this way, so neighbours keep their gaps.
int toPixels(forms::Twips t);
// The twips coordinate at the middle of a pixel.
forms::Twips toTwips(int pixel);

QColor toQColor(forms::Color c);
// The font the platform draws for a model font: free stand-ins for the
// families the layout names, sized at 96 dots per inch.
QFont toQFont(const forms::Font& font);

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
    void focusRequested(forms::Control* control) override;

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
    static forms::Point twipsAt(const QPoint& pos);
    forms::Control* buttonAt(const QPoint& pos) const;
    void setButtonDown(forms::Control* button, bool down);

    forms::Form& form_;
    std::unordered_map<const forms::Control*, QWidget*> widgets_;
    std::unordered_map<const QWidget*, forms::Control*> controls_;
    forms::Control* pressed_ = nullptr;  // push button held down by the mouse
    bool shown_ = false;
    QTimer activation_;  // raises Activate once the window has first shown
};

}  // namespace qtforms
