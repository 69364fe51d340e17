#include "ui/held_keys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace kelvarin {

namespace {

// A key's own repeat can come as a release and a press that are not marked as a repeat (X11
// marks it only when the press is already waiting as the release is read): the two then carry
// one time stamp, or nearly. Nobody's finger lifts and presses a key again this fast.
constexpr unsigned long kRepeatGapMs = 20;

} // namespace

HeldKeys::HeldKeys(QObject* parent) : QObject(parent) {
    qApp->installEventFilter(this);
}

HeldKeys::~HeldKeys() {
    qApp->removeEventFilter(this);
}

bool HeldKeys::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease &&
        type != QEvent::ShortcutOverride) {
        return false;
    }
    auto* receiver = qobject_cast<QWidget*>(watched);
    if (receiver == nullptr) {
        return false;
    }
    auto* key = static_cast<QKeyEvent*>(event);
    QWidget* window = receiver->window();
    const auto found = held_.find(key->key());
    const bool ownPress = found != held_.end() && found->window == window;
    bool passes = ownPress;
    if (type == QEvent::KeyRelease) {
        if (found != held_.end() && !key->isAutoRepeat()) {
            found->released = true;
            found->releasedAt = key->timestamp();
        }
    } else if (!key->isAutoRepeat()) {
        // A press (its shortcut's turn comes first) is fresh unless it follows at once on a
        // release that another window kept from this one.
        const bool repeat = found != held_.end() && !ownPress && found->released &&
                            key->timestamp() - found->releasedAt <= kRepeatGapMs;
        if (!repeat) {
            held_.insert(key->key(), Held{window, false, 0});
            passes = true;
        }
    }
    if (passes) {
        return false;
    }
    if (type == QEvent::ShortcutOverride) {
        // Taken here, so that no shortcut of this window acts on it; the key press that
        // follows is then dropped as well.
        event->accept();
    }
    return true;
}

} // namespace kelvarin
