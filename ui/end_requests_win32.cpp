#include "ui/end_requests.h"

#include <QMetaObject>

#include <atomic>

#include <windows.h>

namespace kelvarin {

namespace {

// The listening instance, for the handler, which the system calls on a thread of its own.
std::atomic<EndRequests*> gListening{nullptr};

BOOL WINAPI OnConsoleControl(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        EndRequests::arrive(EndRequests::Kind::Interrupt);
        return TRUE;
    case CTRL_CLOSE_EVENT:
        // The system ends the program once this returns; the window is asked all the same, and
        // may still save in the time the system gives.
        EndRequests::arrive(EndRequests::Kind::HangUp);
        return TRUE;
    default:
        return FALSE; // logging off and shutting down reach the window as the session's end
    }
}

} // namespace

struct EndRequests::Listener {};

EndRequests::EndRequests(QObject* parent) : QObject(parent) {
    gListening = this;
    ::SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
}

EndRequests::~EndRequests() {
    ::SetConsoleCtrlHandler(&OnConsoleControl, FALSE);
    gListening = nullptr;
}

void EndRequests::arrive(Kind kind) {
    if (EndRequests* listening = gListening) {
        QMetaObject::invokeMethod(
            listening, [listening, kind] { emit listening->requested(kind); },
            Qt::QueuedConnection);
    }
}

void EndRequests::endNow(Kind /*kind*/) {
    // As the console's own handling of Ctrl+C ends a program.
    ::ExitProcess(static_cast<UINT>(STATUS_CONTROL_C_EXIT));
}

} // namespace kelvarin
