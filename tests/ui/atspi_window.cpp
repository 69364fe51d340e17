// The editor's window for a look at it from outside, over the accessibility bus or on a
// screenshot: its open-file dialog picks a synthetic roster image, and it stays on the screen
// until its standard input closes (or two minutes pass). With --open it presses Open itself once
// shown. It prints each entry G8P4 shows, for the other side to compare with what it sees.

#include "stand_in_dialogs.h"
#include "test_image.h"
#include "ui/main_window.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTimer>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>

int main(int argc, char* argv[]) {
    using namespace kelvarin;
    using namespace kelvarin::testing;

    QApplication application(argc, argv);
    InstallAccessibleInterfaces();
    const bool openAtOnce = argc > 1 && std::strcmp(argv[1], "--open") == 0;

    TempDir dir;
    const std::string image = dir.file("roster.nds");
    MakeRosterImage(image);
    StandInDialogs dialogs;
    dialogs.willChoose(QString::fromStdString(image));
    MainWindow window(dialogs);
    QApplication::setWindowIcon(window.windowIcon());

    const auto* watched = window.findChild<QComboBox*>(QStringLiteral("G8P4"));
    auto* open = window.findChild<QPushButton*>(QStringLiteral("cmdOpen"));
    if (watched == nullptr || open == nullptr) {
        std::fprintf(stderr, "the window has no G8P4 or no Open button\n");
        return 2;
    }
    QObject::connect(watched, &QComboBox::currentTextChanged, [](const QString& text) {
        std::printf("G8P4 shows: %s\n", text.toUtf8().constData());
        std::fflush(stdout);
    });

    // Ends with its standard input, so that the image's folder is removed whatever the other
    // side does; on its own after two minutes. It leaves the event loop rather than closing the
    // window, which would ask about the changes the other side made.
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&input] {
        char discarded[256];
        if (read(STDIN_FILENO, discarded, sizeof discarded) <= 0) {
            input.setEnabled(false);
            QCoreApplication::exit(0);
        }
    });
    QTimer::singleShot(std::chrono::minutes(2), &application, [] { QCoreApplication::exit(0); });

    window.show();
    // Keys sent to the display reach the window that has its input focus: on a bare X server no
    // window manager gives it one.
    window.activateWindow();
    if (openAtOnce) {
        QTimer::singleShot(0, open, &QPushButton::click);
    }
    std::printf("window shown\n");
    std::fflush(stdout);
    return QApplication::exec();
}
