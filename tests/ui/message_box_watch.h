#pragma once

#include <QMessageBox>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace kelvarin::testing {

struct ShownMessage {
    QString title;
    QString text;
    QString informativeText;
    QString detailedText;
    QMessageBox::Icon icon;
    QStringList buttons;   // captions, in the box's order
    QString defaultButton; // caption of the button Enter presses
    QSize size;            // the box as it was laid out on the screen
    bool buttonsInside;    // every button lies wholly inside the box
    bool plainText;        // every label of the box shows its text as plain text
    bool stayed = true;    // still shown after what happened while it was up
};

// Runs `action`; every message box that opens meanwhile is recorded and answered as a person
// would answer it: with the button captioned `answer` where the box has one, otherwise closed
// as by the window's close button. A modal box cannot stall the test.
std::vector<ShownMessage> MessagesShownDuring(const std::function<void()>& action,
                                              const QString& answer = {});

// The same with an answer for each box in the order they open: the first box is answered with
// the first caption, the second with the second, and so on; boxes past the last are closed.
std::vector<ShownMessage> MessagesShownDuring(const std::function<void()>& action,
                                              const QStringList& answers);

// The same, with `meanwhile` done to each box as it is found, before it is answered; a box that
// it ended is recorded as not having stayed, and is not answered.
std::vector<ShownMessage> MessagesShownDuring(const std::function<void()>& action,
                                              const QStringList& answers,
                                              const std::function<void(QMessageBox&)>& meanwhile);

} // namespace kelvarin::testing
