#include "message_box_watch.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QPointer>
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

// Runs `action` and answers every box that opens meanwhile with the caption `answerFor` gives for
// it (counting boxes from 0), or closes it where the box has no such button.
std::vector<ShownMessage> Watch(const std::function<void()>& action,
                                const std::function<QString(std::size_t)>& answerFor,
                                const std::function<void(QMessageBox&)>& meanwhile = {}) {
    std::vector<ShownMessage> shown;
    QTimer watch;
    watch.setInterval(5);
    QObject::connect(&watch, &QTimer::timeout, [&shown, &answerFor, &meanwhile] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (box == nullptr || !box->isVisible()) {
                continue;
            }
            const QString answer = answerFor(shown.size());
            if (meanwhile) {
                const QPointer<QMessageBox> watched(box);
                meanwhile(*box);
                if (watched == nullptr || !watched->isVisible()) {
                    shown.push_back({});
                    shown.back().stayed = false;
                    continue;
                }
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

} // namespace

std::vector<ShownMessage> MessagesShownDuring(const std::function<void()>& action,
                                              const QString& answer) {
    return Watch(action, [&answer](std::size_t /*box*/) { return answer; });
}

std::vector<ShownMessage> MessagesShownDuring(const std::function<void()>& action,
                                              const QStringList& answers) {
    return MessagesShownDuring(action, answers, {});
}

std::vector<ShownMessage> MessagesShownDuring(const std::function<void()>& action,
                                              const QStringList& answers,
                                              const std::function<void(QMessageBox&)>& meanwhile) {
    const auto answerFor = [&answers](std::size_t box) {
        return box < static_cast<std::size_t>(answers.size())
                   ? answers.at(static_cast<qsizetype>(box))
                   : QString();
    };
    return Watch(action, answerFor, meanwhile);
}

} // namespace kelvarin::testing
