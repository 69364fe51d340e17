#include "ui/font_fit.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

// Widget tests need one application object for the whole run, set up as the program sets up its
// own. They draw nothing on a screen: without a platform chosen from outside they run on the
// offscreen one.
int main(int argc, char* argv[]) {
    setenv("QT_QPA_PLATFORM", "offscreen", /*overwrite=*/0);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    kelvarin::UseCompactComboStyle();
    return RUN_ALL_TESTS();
}
