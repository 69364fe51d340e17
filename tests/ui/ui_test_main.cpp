#include "ui/main_window.h"

#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Widget tests need one application object for the whole run, set up as the program sets up its
// own, with the window's accessible interfaces installed before any window is made (the window
// installs its style itself). They draw nothing on a screen: without a platform
// chosen from outside they run on the offscreen one. Whatever Qt or a test would keep in a home
// folder goes to a temporary one, so that running the suite leaves the user's own home as it was.
int main(int argc, char* argv[]) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QTemporaryDir home;
    if (!home.isValid()) {
        return 2;
    }
    const QByteArray root = home.path().toLocal8Bit();
    qputenv("HOME", root);
    for (const char* variable :
         {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"}) {
        qputenv(variable, root + '/' + variable);
    }
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    // A person's font, as a desktop hands it to programs, where CTest asks for one.
    if (const double points = qEnvironmentVariable("KELVARIN_TEST_POINT_SIZE").toDouble();
        points > 0) {
        QFont font = QApplication::font();
        font.setPointSizeF(points);
        QApplication::setFont(font);
    }
    kelvarin::InstallAccessibleInterfaces();
    return RUN_ALL_TESTS();
}
