#include "ui/end_requests.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>

#include <fcntl.h>
#include <unistd.h>

namespace kelvarin {

namespace {

struct Caught {
    int number;
    EndRequests::Kind kind;
};
constexpr std::array<Caught, 3> kCaught{{{SIGTERM, EndRequests::Kind::Terminate},
                                         {SIGHUP, EndRequests::Kind::HangUp},
                                         {SIGINT, EndRequests::Kind::Interrupt}}};

// The write end of the listening pipe, for the handler: -1 while nobody listens.
volatile std::sig_atomic_t gWriteEnd = -1;

// Only what is safe in a signal handler: one byte, the signal's number, into the pipe, which the
// user-interface thread reads when it next looks. A full pipe drops the byte: requests are
// waiting there already.
extern "C" void OnEndSignal(int number) {
    const int savedErrno = errno;
    const int writeEnd = gWriteEnd;
    if (writeEnd >= 0) {
        const auto byte = static_cast<unsigned char>(number);
        [[maybe_unused]] const ssize_t written = ::write(writeEnd, &byte, 1);
    }
    errno = savedErrno;
}

int NumberOf(EndRequests::Kind kind) {
    for (const Caught& caught : kCaught) {
        if (caught.kind == kind) {
            return caught.number;
        }
    }
    return SIGTERM;
}

} // namespace

struct EndRequests::Listener {
    std::array<int, 2> pipe{-1, -1};
    std::array<struct sigaction, kCaught.size()> before{};
    std::array<bool, kCaught.size()> caught{};
    QSocketNotifier* notifier = nullptr;
};

EndRequests::EndRequests(QObject* parent)
    : QObject(parent), listener_(std::make_unique<Listener>()) {
    Listener& listener = *listener_;
    if (::pipe2(listener.pipe.data(), O_CLOEXEC | O_NONBLOCK) != 0) {
        return; // no pipe: the signals keep their usual effect
    }
    gWriteEnd = listener.pipe[1];
    listener.notifier = new QSocketNotifier(listener.pipe[0], QSocketNotifier::Read, this);
    connect(listener.notifier, &QSocketNotifier::activated, this, [this] {
        unsigned char number = 0;
        while (::read(listener_->pipe[0], &number, 1) == 1) {
            for (const Caught& caught : kCaught) {
                if (caught.number == number) {
                    emit requested(caught.kind);
                }
            }
        }
    });
    for (std::size_t i = 0; i < kCaught.size(); ++i) {
        struct sigaction handler {};
        handler.sa_handler = &OnEndSignal;
        ::sigemptyset(&handler.sa_mask);
        handler.sa_flags = SA_RESTART;
        if (::sigaction(kCaught[i].number, nullptr, &listener.before[i]) != 0 ||
            listener.before[i].sa_handler == SIG_IGN) {
            continue; // started to ignore it, as under nohup or in the background
        }
        listener.caught[i] = ::sigaction(kCaught[i].number, &handler, nullptr) == 0;
    }
}

EndRequests::~EndRequests() {
    Listener& listener = *listener_;
    for (std::size_t i = 0; i < kCaught.size(); ++i) {
        if (listener.caught[i]) {
            ::sigaction(kCaught[i].number, &listener.before[i], nullptr);
        }
    }
    gWriteEnd = -1;
    for (const int end : listener.pipe) {
        if (end >= 0) {
            ::close(end);
        }
    }
}

void EndRequests::arrive(Kind kind) {
    OnEndSignal(NumberOf(kind));
}

void EndRequests::endNow(Kind kind) {
    const int number = NumberOf(kind);
    ::signal(number, SIG_DFL);
    ::raise(number);
    std::_Exit(128 + number);
}

} // namespace kelvarin
