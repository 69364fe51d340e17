#include "ui/announcer.h"

#include <QAccessible>
#include <QAccessibleObject>
#include <QWidget>

namespace kelvarin {

namespace {

#if QT_VERSION < QT_VERSION_CHECK(6, 8, 0)
// The announcer as assistive technology sees it: a notification, in the window but not among its
// controls, so that reading the window or moving through it never comes upon it. Its name is
// the sentence, which is all a screen reader speaks of it.
class NotificationInterface final : public QAccessibleObject {
  public:
    NotificationInterface(Announcer& announcer, QWidget& window)
        : QAccessibleObject(&announcer), announcer_(announcer), window_(window) {}

    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(&window_);
    }
    QAccessibleInterface* child(int /*index*/) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface* /*child*/) const override { return -1; }

    QString text(QAccessible::Text kind) const override {
        return kind == QAccessible::Name ? announcer_.sentence() : QString();
    }
    QAccessible::Role role() const override { return QAccessible::Notification; }
    QAccessible::State state() const override { return {}; }

  private:
    Announcer& announcer_;
    QWidget& window_;
};
#endif

} // namespace

Announcer::Announcer(QWidget& window) : QObject(&window), window_(window) {
#if QT_VERSION < QT_VERSION_CHECK(6, 8, 0)
    // Qt's cache owns the interface from here and drops it with the announcer.
    QAccessible::registerAccessibleInterface(new NotificationInterface(*this, window_));
#endif
}

void Announcer::announce(const QString& sentence) {
    sentence_ = sentence;
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    QAccessibleAnnouncementEvent said(&window_, sentence);
#else
    QAccessibleEvent said(this, QAccessible::ObjectShow);
#endif
    QAccessible::updateAccessibility(&said);
}

} // namespace kelvarin
