#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>
#include <vector>

namespace kelvarin::testing {

struct ShownMessage {
    QString title;
    QString text;
    QMessageBox::Icon icon;
};

// Runs `action`; every message box that opens meanwhile is recorded and closed, as a person
// would close it, so that a modal box cannot stall the test.
std::vector<ShownMessage> MessagesShownDuring(const std::function<void()>& action);

} // namespace kelvarin::testing
