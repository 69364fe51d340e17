#include "message_box_watch.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace kelvarin::testing {
namespace {

ShownMessage Record(const QMessageBox& box) {
    ShownMessage shown{box.windowTitle(),
                       box.text(),
                       box.informativeText(),
                       box.detailedText(),
                       box.icon(),
                       {},
                       {},
                       box.frameGeometry().size(),
                       true,
                       true};
    for (const QAbstractButton* button : box.buttons()) {
        if (button->isVisible()) {
            shown.buttons.append(button->text());
            const QRect inBox(button->mapTo(&box, QPoint(0, 0)), button->size());
            shown.buttonsInside = shown.buttonsInside && box.rect().contains(inBox);
        }
    }
    if (box.defaultButton() != nullptr) {
        shown.defaultButton = box.defaultButton()->text();
    }
    for (const QLabel* label : box.findChildren<QLabel*>()) {
        if (!label->text().isEmpty() && label->textFormat() != Qt::PlainText) {
            shown.plainText = false;
        }
    }
    return shown;
}

} // namespace

std::vector<ShownMessage> MessagesShownDuring(const std::function<void()>& action,
                                              const QString& answer) {
    std::vector<ShownMessage> shown;
    QTimer watch;
    watch.setInterval(5);
    QObject::connect(&watch, &QTimer::timeout, [&shown, &answer] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (box == nullptr || !box->isVisible()) {
                continue;
            }
            shown.push_back(Record(*box));
            QAbstractButton* chosen = nullptr;
            for (QAbstractButton* button : box->buttons()) {
                if (!answer.isEmpty() && button->text() == answer) {
                    chosen = button;
                }
            }
            if (chosen != nullptr) {
                chosen->click();
            } else {
                box->reject();
            }
        }
    });
    watch.start();
    action();
    watch.stop();
    return shown;
}

} // namespace kelvarin::testing
