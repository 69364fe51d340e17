#pragma once

#include "message_box_watch.h"
#include "stand_in_dialogs.h"
#include "test_image.h"
#include "ui/main_window.h"
#include "ui/window_layout.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <map>
#include <string_view>

namespace kelvarin::testing {

// A fresh editor window whose file dialogs are answered by a stand-in, and a temporary folder
// for the images it works on.
class WindowTest : public ::testing::Test {
  protected:
    QComboBox* list(std::string_view name) const {
        auto* found = window.findChild<QComboBox*>(ToQString(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    QPushButton* button(const char* name) const {
        auto* found = window.findChild<QPushButton*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    // Presses a button as a user would and returns the message boxes it showed.
    std::vector<ShownMessage> press(const char* name) {
        QPushButton* pressed = button(name);
        return MessagesShownDuring([pressed] { pressed->click(); });
    }

    // The same, each box it shows answered in turn (MessagesShownDuring).
    std::vector<ShownMessage> pressAnswering(const char* name, const QStringList& answers) {
        QPushButton* pressed = button(name);
        return MessagesShownDuring([pressed] { pressed->click(); }, answers);
    }

    // Types Ctrl+`key` where the focus is, as a user would. A button's shortcut shows the button
    // pressed for a moment before it acts, as a click does: this waits until it has acted.
    std::vector<ShownMessage> typeShortcut(Qt::Key key) {
        QWidget* focused = QApplication::focusWidget();
        return MessagesShownDuring([&] {
            QTest::keyClick(focused != nullptr ? focused : &window, key, Qt::ControlModifier);
            EXPECT_TRUE(QTest::qWaitFor(
                [&] { return !button("cmdOpen")->isDown() && !button("cmdSave")->isDown(); }));
        });
    }

    // The caption as the window system shows it, with the mark of a modified window if any.
    QString shownTitle() {
        window.winId(); // the window system's window, which carries the title shown
        return window.windowHandle()->title();
    }

    // The selected entry of every one of the 52 lists, by name.
    std::map<QString, int> selections() const {
        std::map<QString, int> all;
        for (const QComboBox* each : window.findChildren<QComboBox*>()) {
            all[each->objectName()] = each->currentIndex();
        }
        return all;
    }

    StandInDialogs dialogs;
    MainWindow window{dialogs};
    TempDir dir;
};

} // namespace kelvarin::testing
