#include "message_box_watch.h"

#include <QApplication>
#include <QTimer>

namespace kelvarin::testing {

std::vector<ShownMessage> MessagesShownDuring(const std::function<void()>& action) {
    std::vector<ShownMessage> shown;
    QTimer watch;
    watch.setInterval(5);
    QObject::connect(&watch, &QTimer::timeout, [&shown] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (box != nullptr && box->isVisible()) {
                shown.push_back({box->windowTitle(), box->text(), box->icon()});
                box->done(QMessageBox::Ok);
            }
        }
    });
    watch.start();
    action();
    watch.stop();
    return shown;
}

} // namespace kelvarin::testing
