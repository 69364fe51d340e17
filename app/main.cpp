#include "ui/common_dialog.h"
#include "ui/main_window.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvarin"));
    QApplication::setDesktopFileName(QStringLiteral("org.kelvarin.Kelvarin"));
    kelvarin::InstallAccessibleInterfaces();

    // Before the window, so that a request to end never finds nobody to take it.
    kelvarin::EndRequests endRequests;
    kelvarin::QtFileDialogBackend dialogs;
    kelvarin::MainWindow window(dialogs);
    window.followEndRequests(endRequests);
    QObject::connect(&window, &kelvarin::MainWindow::endNowAsked, &kelvarin::EndRequests::endNow);
    // The open-file dialog and the error boxes show the window's icon too.
    QApplication::setWindowIcon(window.windowIcon());
    window.show();
    return QApplication::exec();
}
