// Linked into the benchmark's own builds of the programs it times, never into the shipped
// editor: as soon as the first paint of the program's first window has finished, prints
// "shown <nanoseconds>" (CLOCK_MONOTONIC) on standard output and quits the program. It hooks
// itself in when the application object is made, so the programs' main() knows nothing of it.

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include <cstdio>
#include <ctime>

namespace {

class FirstPaintProbe final : public QObject {
  public:
    explicit FirstPaintProbe(QCoreApplication& application) : QObject(&application) {
        application.installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        // Any widget's paint: a window whose content fills it (a scroll area, say) may never
        // paint itself, and the widgets of one window are painted in one pass.
        if (!seen_ && event->type() == QEvent::Paint && watched->isWidgetType()) {
            seen_ = true;
            // Queued, so that it runs once this paint has been drawn and handed on.
            QMetaObject::invokeMethod(this, &FirstPaintProbe::report, Qt::QueuedConnection);
        }
        return false;
    }

  private:
    void report() {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const long long nanoseconds =
            static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec;
        std::printf("shown %lld\n", nanoseconds);
        std::fflush(stdout);
        QCoreApplication::exit(0);
    }

    bool seen_ = false;
};

void InstallFirstPaintProbe() {
    new FirstPaintProbe(*QCoreApplication::instance());
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(InstallFirstPaintProbe)
