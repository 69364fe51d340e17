#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>

class QWidget;

namespace kelvarin {

// A key answers only the window it was pressed in. A key held down repeats; when its first press
// opens a question (Enter on Open, Ctrl+S on a file that cannot be saved), the repeats would
// otherwise reach the question at once and press its default before anyone could read it, and
// its release would reach it too. Every key's repeats and its release go to the window that had
// its press, or to nobody: a window that appears while a key is held takes that key only once it
// has been released and pressed again. Repeats within one window pass as they always do.
//
// Watches the whole application while it lives: made once, by the main window.
class HeldKeys final : public QObject {
    Q_OBJECT

  public:
    explicit HeldKeys(QObject* parent);
    ~HeldKeys() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Held {
        QPointer<QWidget> window; // where it was pressed
        bool released = false;
        unsigned long releasedAt = 0; // the event's time stamp, in milliseconds
    };
    QHash<int, Held> held_;
};

} // namespace kelvarin
