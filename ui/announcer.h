#pragma once

#include <QObject>
#include <QString>

class QWidget;

namespace kelvarin {

// Tells a screen reader a short sentence without showing anything: the outcome of an action that
// leaves the screen as it was, such as a save. It is spoken politely, after what the screen
// reader is saying, and never takes the focus.
//
// Qt 6.8 and later say it with an announcement event (on Windows a UI Automation notification,
// on Linux an AT-SPI announcement). Earlier versions have no such event; there the announcer
// stands before assistive technology as an object in the notification role, named by the
// sentence, that appears as it is announced, which Orca speaks as "notification" and the name.
class Announcer final : public QObject {
    Q_OBJECT

  public:
    // `window` is the window whose outcome is announced; the announcer is its child.
    explicit Announcer(QWidget& window);

    void announce(const QString& sentence);

    // The sentence last announced; empty before the first.
    [[nodiscard]] const QString& sentence() const { return sentence_; }

  private:
    QWidget& window_;
    QString sentence_;
};

} // namespace kelvarin
