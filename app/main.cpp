#include "ui/command_line.h"
#include "ui/common_dialog.h"
#include "ui/main_window.h"

#include <QApplication>
#include <QWindow>

#include <functional>
#include <utility>

namespace {

QStringList ArgumentsOf(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    return arguments;
}

// Runs an action once the window system has put a window on the screen, where the window manager
// placed it: a message box shown over it before then would be placed by where it was asked to be.
class WhenOnScreen final : public QObject {
  public:
    WhenOnScreen(QWindow& window, std::function<void()> action)
        : QObject(&window), action_(std::move(action)) {
        if (window.isExposed()) {
            runSoon();
        } else {
            window.installEventFilter(this);
        }
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed()) {
            watched->removeEventFilter(this);
            runSoon();
        }
        return false;
    }

  private:
    void runSoon() {
        QMetaObject::invokeMethod(
            this,
            [this] {
                action_();
                deleteLater();
            },
            Qt::QueuedConnection);
    }

    std::function<void()> action_;
};

} // namespace

int main(int argc, char* argv[]) {
    // --help and --version answer before the window system is reached, so that they work without
    // a display. The rest waits for the application object, which takes out Qt's own options
    // (-style, -session, ...) and gives the arguments in full Unicode on every system.
    if (const kelvarin::CommandLine early = kelvarin::ReadCommandLine(ArgumentsOf(argc, argv));
        early.action == kelvarin::CommandLine::Action::Answer) {
        kelvarin::Tell(early);
        return early.status;
    }
    QApplication application(argc, argv);
    const kelvarin::CommandLine command = kelvarin::ReadCommandLine(QCoreApplication::arguments());
    if (command.action != kelvarin::CommandLine::Action::Run) {
        kelvarin::Tell(command);
        return command.status;
    }
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
    if (!command.image.isEmpty()) {
        // A file that cannot be used is told over the window.
        new WhenOnScreen(*window.windowHandle(),
                         [&window, &command] { window.openImage(command.image); });
    }
    return QApplication::exec();
}
