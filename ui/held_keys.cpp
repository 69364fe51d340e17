#include "ui/held_keys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace kelvarin {

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
    // A fresh press (its shortcut's turn comes first) belongs to the window it is made in.
    if (type != QEvent::KeyRelease && !key->isAutoRepeat()) {
        pressedIn_.insert(key->key(), window);
        return false;
    }
    const auto held = pressedIn_.constFind(key->key());
    const bool ownPress = held != pressedIn_.constEnd() && held.value() == window;
    if (type == QEvent::KeyRelease && !key->isAutoRepeat()) {
        pressedIn_.remove(key->key());
    }
    if (ownPress) {
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
