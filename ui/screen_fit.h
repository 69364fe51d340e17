#pragma once

#include <QMargins>
#include <QMetaObject>
#include <QScrollArea>
#include <QSize>

class QScreen;

// How the editor's window meets a screen too small for it.
//
// Every control has a fixed place. Where the free area of the window's screen (the screen less
// its taskbars and panels) holds the window and its frame, the window has its designed size and
// nothing scrolls, so that making it smaller hides controls as it always has. Where the free
// area does not hold it, the window opens as large as the free area allows, its title bar on
// the screen, and its controls scroll inside it in the direction that is cut; they are never
// moved against each other nor drawn smaller. The window is fitted again whenever it is shown,
// moves to another screen, or its screen changes size or scale.
namespace kelvarin {

struct ScreenFit {
    QSize client; // the window's client area
    bool scrollsAcross = false;
    bool scrollsDown = false;

    [[nodiscard]] bool fits() const { return !scrollsAcross && !scrollsDown; }
};

// The client area for content of size `designed` in `room`, the free area less the window's
// frame; `scrollBar` is the width a scroll bar takes from the other direction.
ScreenFit FitOnScreen(QSize designed, QSize room, int scrollBar);

// The part of `length` logical pixels from `start` that stays before `end` once a window system
// working in device pixels at `ratio` has placed it. It rounds a window's place and its size
// each on its own, so at a fractional ratio a window that ends exactly at `end` may reach one
// device pixel past it. Places are relative to the screen's origin.
int LengthWithin(int start, int length, int end, qreal ratio);

// The view of the window's content: the whole window, scrolling only where the screen is too
// small. The window's controls go into form(); the view takes the focus of none of them.
class FittedView final : public QScrollArea {
    Q_OBJECT

  public:
    // `window` is a top-level widget that the view fills; `designed` its designed client area.
    FittedView(QWidget& window, QSize designed);
    ~FittedView() override;

    [[nodiscard]] QWidget* form() const { return widget(); }
    [[nodiscard]] const ScreenFit& fit() const { return fit_; }

    // Scrolls the view as the wheel over a control would if the control did not take it.
    void scrollBy(QEvent* wheel);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void fitToScreen();
    void watchScreen(QScreen* screen);
    [[nodiscard]] QMargins frame() const;
    void bringIntoView(QWidget* focused);

    QWidget& window_;
    QSize designed_;
    ScreenFit fit_;
    QMargins fittedFrame_;
    bool shown_ = false;
    QMetaObject::Connection screenChanged_;
    QMetaObject::Connection focusWatch_;
    QList<QMetaObject::Connection> screenWatch_;
};

} // namespace kelvarin
