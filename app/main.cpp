#include "ui/common_dialog.h"
#include "ui/main_window.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvarin"));
    QApplication::setDesktopFileName(QStringLiteral("org.kelvarin.Kelvarin"));
    kelvarin::InstallAccessibleInterfaces();

    kelvarin::QtFileDialogBackend dialogs;
    kelvarin::MainWindow window(dialogs);
    // The open-file dialog and the error boxes show the window's icon too.
    QApplication::setWindowIcon(window.windowIcon());
    window.show();
    return QApplication::exec();
}
