#include "ui/common_dialog.h"
#include "ui/main_window.h"

#include <QApplication>

#ifdef KELVARIN_STARTUP_PROBE
#include "bench/startup/startup_probe.h"
#endif

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvarin"));
    QApplication::setDesktopFileName(QStringLiteral("org.kelvarin.Kelvarin"));

    kelvarin::QtFileDialogBackend dialogs;
    kelvarin::MainWindow window(dialogs);
    // The open-file dialog and the error boxes show the window's icon too.
    QApplication::setWindowIcon(window.windowIcon());
#ifdef KELVARIN_STARTUP_PROBE
    // Only the start-up benchmark's copy of the program: it times the start to the first paint.
    kelvarin::ReportFirstPaintAndQuit(window);
#endif
    window.show();
    return QApplication::exec();
}
