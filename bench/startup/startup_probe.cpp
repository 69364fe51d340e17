#include "bench/startup/startup_probe.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QWidget>

#include <cstdio>
#include <ctime>

namespace kelvarin {

namespace {

class FirstPaintProbe final : public QObject {
  public:
    explicit FirstPaintProbe(QWidget& window) : QObject(&window), window_(window) {
        window.installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &window_ && event->type() == QEvent::Paint && !seen_) {
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

    QWidget& window_;
    bool seen_ = false;
};

} // namespace

void ReportFirstPaintAndQuit(QWidget& window) {
    new FirstPaintProbe(window);
}

} // namespace kelvarin
