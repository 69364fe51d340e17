#include "ui/font_fit.h"

#include <QApplication>

#include <gtest/gtest.h>

// Widget tests need one application object for the whole run, set up as the program sets up its
// own. They draw nothing on a screen: without a platform chosen from outside they run on the
// offscreen one.
int main(int argc, char* argv[]) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    kelvarin::UseCompactComboStyle();
    return RUN_ALL_TESTS();
}
