#pragma once

#include <QSize>
#include <QtGlobal>

#include <functional>

class QScrollArea;
class QWidget;

// How the editor's window meets a screen too small for it.
//
// Every control has a fixed place. Where the free area of the window's screen (the screen less
// its taskbars and panels) holds the window and its frame, the window has its designed size and
// nothing scrolls, so that making it smaller hides controls as it always has. Where the free
// area does not hold it, the window opens as large as the free area allows, its title bar on
// the screen, and its controls scroll inside it in the direction that is cut; they are never
// moved against each other nor drawn smaller. The window fits itself again whenever it is shown,
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

// The view of the window's content, which fills `window`: a scroll area holding a form of the
// designed size, into which the window's controls go. It scrolls nothing until FitToScreen() finds
// the screen too small, and takes the focus of none of the controls.
QScrollArea* AddFittedView(QWidget& window, QSize designed);

// Gives `window`, whose content is `view` from AddFittedView(), the size and, where it is cut,
// the place that the free area of its screen allows.
void FitToScreen(QWidget& window, QScrollArea& view);

// Gives the content of `view` a new designed size, and `window` the size that its screen allows
// for it, as when it was first shown.
void Refit(QWidget& window, QScrollArea& view, QSize designed);

// Calls `fit` whenever shown `window` moves to another screen or its screen changes size or
// scale, for as long as the window lives.
void OnScreenChange(QWidget& window, const std::function<void()>& fit);

} // namespace kelvarin
