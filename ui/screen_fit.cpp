#include "ui/screen_fit.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QMargins>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>

namespace kelvarin {

namespace {

// Until the window system has put its frame around the window, the frame is not known: a
// title bar and thin borders are assumed, never smaller than a real frame.
constexpr QMargins kUsualFrame{8, 32, 8, 8};

QMargins FrameOf(const QWidget& window) {
    const QWindow* handle = window.windowHandle();
    const QMargins known = handle != nullptr ? handle->frameMargins() : QMargins();
    if (!known.isNull() || window.windowFlags().testFlag(Qt::FramelessWindowHint)) {
        return known;
    }
    return kUsualFrame;
}

// Where the client area of a window of `client` size goes so that the window and its `frame`
// lie inside `free`, title bar first: where it is if it is on the screen already, at the top of
// the free area across its middle if not.
QPoint ClientPlace(const QWidget& window, QSize client, const QMargins& frame, const QRect& free) {
    const QSize outer = client.grownBy(frame);
    const QWindow* handle = window.windowHandle();
    QPoint at = window.frameGeometry().topLeft();
    if ((handle == nullptr || !handle->isVisible()) && !window.testAttribute(Qt::WA_Moved)) {
        at = {free.left() + (free.width() - outer.width()) / 2, free.top()};
    }
    at.setX(
        std::clamp(at.x(), free.left(), std::max(free.left(), free.right() + 1 - outer.width())));
    at.setY(
        std::clamp(at.y(), free.top(), std::max(free.top(), free.bottom() + 1 - outer.height())));
    return at + QPoint(frame.left(), frame.top());
}

// As large as the content and in the window's corner while the window fits: then there is
// nothing to scroll, and a window made smaller hides controls rather than moving them. Where the
// window is cut, the view fills it, whatever size the user gives it.
void FollowWindow(QScrollArea& view, bool cut) {
    if (cut) {
        view.setMinimumSize(0, 0);
        view.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    } else {
        view.setFixedSize(view.widget()->size());
    }
    view.parentWidget()->layout()->setAlignment(&view, cut ? Qt::Alignment()
                                                           : Qt::AlignLeft | Qt::AlignTop);
}

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

QScrollArea* AddFittedView(QWidget& window, QSize designed) {
    auto* view = new QScrollArea(&window);
    view->setFrameShape(QFrame::NoFrame);
    // Lays the viewport out at once in the frame-less view, not at the first show.
    QEvent layOut(QEvent::LayoutRequest);
    QCoreApplication::sendEvent(view, &layOut);
    view->setFocusPolicy(Qt::NoFocus);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* form = new QWidget;
    form->resize(designed);
    view->setWidget(form);
    auto* fills = new QVBoxLayout(&window);
    fills->setContentsMargins(QMargins());
    // The window's size stays the user's to choose.
    fills->setSizeConstraint(QLayout::SetNoConstraint);
    fills->addWidget(view);
    FollowWindow(*view, false);
    return view;
}

void FitToScreen(QWidget& window, QScrollArea& view) {
    const QSize designed = view.widget()->size();
    const QScreen* screen = window.screen();
    if (screen == nullptr) {
        return;
    }
    const QRect free = screen->availableGeometry();
    const QMargins frame = FrameOf(window);
    const bool wasCut = view.minimumSize() != view.maximumSize();
    ScreenFit fit =
        FitOnScreen(designed, free.size().shrunkBy(frame),
                    view.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &view));
    view.setHorizontalScrollBarPolicy(fit.scrollsAcross ? Qt::ScrollBarAsNeeded
                                                        : Qt::ScrollBarAlwaysOff);
    view.setVerticalScrollBarPolicy(fit.scrollsDown ? Qt::ScrollBarAsNeeded
                                                    : Qt::ScrollBarAlwaysOff);
    FollowWindow(view, !fit.fits());
    if (fit.fits()) {
        if (wasCut) {
            window.resize(designed);
        }
        return;
    }
    // The window is placed by its client area: window systems that have not framed it yet take
    // a position as the client's, and the frame assumed until then is never smaller than a real
    // one.
    const QPoint client = ClientPlace(window, fit.client, frame, free);
    const QPoint origin = screen->geometry().topLeft();
    const qreal ratio = screen->devicePixelRatio();
    fit.client = {LengthWithin(client.x() - origin.x(), fit.client.width(),
                               free.right() + 1 - origin.x(), ratio),
                  LengthWithin(client.y() - origin.y(), fit.client.height(),
                               free.bottom() + 1 - origin.y(), ratio)};
    if (client == window.geometry().topLeft()) {
        window.resize(fit.client);
    } else {
        window.setGeometry(QRect(client, fit.client));
    }
}

void Refit(QWidget& window, QScrollArea& view, QSize designed) {
    view.widget()->resize(designed);
    FollowWindow(view, false);
    window.resize(designed);
    if (window.isVisible()) {
        FitToScreen(window, view);
    }
}

void OnScreenChange(QWidget& window, const std::function<void()>& fit) {
    // Every screen is watched, and only the window's own counts: a window that moves to another
    // screen needs nothing to be connected anew.
    const auto watch = [&window, fit](QScreen* screen) {
        const auto ifOwn = [&window, screen, fit] {
            if (window.screen() == screen) {
                fit();
            }
        };
        QObject::connect(screen, &QScreen::geometryChanged, &window, ifOwn);
        QObject::connect(screen, &QScreen::availableGeometryChanged, &window, ifOwn);
        QObject::connect(screen, &QScreen::logicalDotsPerInchChanged, &window, ifOwn);
    };
    for (QScreen* screen : QGuiApplication::screens()) {
        watch(screen);
    }
    QObject::connect(qApp, &QGuiApplication::screenAdded, &window, watch);
    if (QWindow* handle = window.windowHandle()) {
        QObject::connect(handle, &QWindow::screenChanged, &window, fit);
    }
}

} // namespace kelvarin
