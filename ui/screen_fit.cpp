#include "ui/screen_fit.h"

#include <QApplication>
#include <QEvent>
#include <QScreen>
#include <QStyle>
#include <QWindow>

#include <algorithm>

namespace kelvarin {

namespace {

// Until the window system has put its frame around the window, the frame is not known: a
// title bar and thin borders are assumed, and the window is fitted again once it is known.
constexpr QMargins kUsualFrame{8, 32, 8, 8};
// Room left around a focused control when the view scrolls to it, for its focus rectangle.
constexpr int kFocusMargin = 8;

} // namespace

ScreenFit FitOnScreen(QSize designed, QSize room, int scrollBar) {
    if (room.isEmpty()) {
        // A screen that tells nothing of its size is no reason to cut the window.
        return {designed};
    }
    bool down = designed.height() > room.height();
    bool across = designed.width() > room.width();
    // A scroll bar takes its width from the other direction, which may then be cut as well.
    if (down && !across) {
        across = designed.width() + scrollBar > room.width();
    } else if (across && !down) {
        down = designed.height() + scrollBar > room.height();
    }
    const QSize client(across ? room.width() : designed.width() + (down ? scrollBar : 0),
                       down ? room.height() : designed.height() + (across ? scrollBar : 0));
    return {client, across, down};
}

int LengthWithin(int start, int length, int end, qreal ratio) {
    const int deviceEnd = qRound(end * ratio);
    while (length > 0 && qRound(start * ratio) + qRound(length * ratio) > deviceEnd) {
        --length;
    }
    return length;
}

FittedView::FittedView(QWidget& window, QSize designed)
    : QScrollArea(&window), window_(window), designed_(designed), fit_{designed} {
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::NoFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* form = new QWidget;
    form->resize(designed);
    setWidget(form);
    // As large as the content while the window fits: then there is nothing to scroll, and a
    // window made smaller hides controls rather than moving them.
    setGeometry(QRect(QPoint(), designed));
    // Lays the viewport out at once in the frame-less view, not at the first show.
    setViewportMargins(0, 0, 0, 0);
    window.installEventFilter(this);
    focusWatch_ = connect(qApp, &QApplication::focusChanged, this,
                          [this](QWidget*, QWidget* focused) { bringIntoView(focused); });
}

// The controls inside lose the focus as they are destroyed, after this view has ceased to be one.
FittedView::~FittedView() {
    disconnect(focusWatch_);
}

void FittedView::scrollBy(QEvent* wheel) {
    QCoreApplication::sendEvent(viewport(), wheel);
}

bool FittedView::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &window_) {
        return QScrollArea::eventFilter(watched, event);
    }
    switch (event->type()) {
    case QEvent::Show:
        if (!screenChanged_ && window_.windowHandle() != nullptr) {
            screenChanged_ = connect(window_.windowHandle(), &QWindow::screenChanged, this,
                                     [this](QScreen* screen) {
                                         watchScreen(screen);
                                         fitToScreen();
                                     });
            watchScreen(window_.screen());
        }
        fitToScreen();
        shown_ = true;
        break;
    case QEvent::Resize:
        if (!fit_.fits()) {
            setGeometry(window_.rect());
        }
        break;
    case QEvent::Move:
        // The window system has framed the window: fit it again if the frame is not the one
        // it was fitted with.
        if (shown_ && frame() != fittedFrame_) {
            fitToScreen();
        }
        break;
    default:
        break;
    }
    return false;
}

void FittedView::watchScreen(QScreen* screen) {
    for (const QMetaObject::Connection& watch : std::as_const(screenWatch_)) {
        disconnect(watch);
    }
    screenWatch_.clear();
    if (screen == nullptr) {
        return;
    }
    screenWatch_ = {
        connect(screen, &QScreen::geometryChanged, this, &FittedView::fitToScreen),
        connect(screen, &QScreen::availableGeometryChanged, this, &FittedView::fitToScreen),
        connect(screen, &QScreen::logicalDotsPerInchChanged, this, &FittedView::fitToScreen),
    };
}

QMargins FittedView::frame() const {
    const QWindow* handle = window_.windowHandle();
    const QMargins known = handle != nullptr ? handle->frameMargins() : QMargins();
    if (!known.isNull() || window_.windowFlags().testFlag(Qt::FramelessWindowHint)) {
        return known;
    }
    return kUsualFrame;
}

void FittedView::fitToScreen() {
    const QScreen* screen = window_.screen();
    if (screen == nullptr) {
        return;
    }
    const QRect free = screen->availableGeometry();
    fittedFrame_ = frame();
    const bool wasFitting = fit_.fits();
    fit_ = FitOnScreen(designed_, free.size().shrunkBy(fittedFrame_),
                       style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this));
    setHorizontalScrollBarPolicy(fit_.scrollsAcross ? Qt::ScrollBarAsNeeded
                                                    : Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(fit_.scrollsDown ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    if (fit_.fits()) {
        setGeometry(QRect(QPoint(), designed_));
        if (!wasFitting) {
            window_.resize(designed_);
        }
        return;
    }
    // The whole frame inside the free area, title bar first; a window not placed yet opens at
    // the top of the free area, across its middle. The window is placed by its client area:
    // window systems that have not framed it yet take a position as the client's, and the
    // frame assumed until then is never smaller than a real one.
    const QSize outer = fit_.client.grownBy(fittedFrame_);
    QPoint at = window_.frameGeometry().topLeft();
    if (!shown_ && !window_.testAttribute(Qt::WA_Moved)) {
        at = {free.left() + (free.width() - outer.width()) / 2, free.top()};
    }
    at.setX(
        std::clamp(at.x(), free.left(), std::max(free.left(), free.right() + 1 - outer.width())));
    at.setY(
        std::clamp(at.y(), free.top(), std::max(free.top(), free.bottom() + 1 - outer.height())));
    const QPoint client = at + QPoint(fittedFrame_.left(), fittedFrame_.top());
    const QPoint origin = screen->geometry().topLeft();
    const qreal ratio = screen->devicePixelRatio();
    fit_.client = {LengthWithin(client.x() - origin.x(), fit_.client.width(),
                                free.right() + 1 - origin.x(), ratio),
                   LengthWithin(client.y() - origin.y(), fit_.client.height(),
                                free.bottom() + 1 - origin.y(), ratio)};
    window_.resize(fit_.client);
    setGeometry(window_.rect());
    if (client != window_.geometry().topLeft()) {
        window_.setGeometry(QRect(client, fit_.client));
    }
}

void FittedView::bringIntoView(QWidget* focused) {
    if (focused != nullptr && form()->isAncestorOf(focused)) {
        ensureWidgetVisible(focused, kFocusMargin, kFocusMargin);
    }
}

} // namespace kelvarin
