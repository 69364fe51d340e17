#pragma once

#include <QObject>

#include <memory>

namespace kelvarin {

// Requests from outside the window that the program end: on Linux and other POSIX systems the
// signals that logging out, closing the terminal, a service manager or Ctrl+C send (SIGTERM,
// SIGHUP, SIGINT); on Windows the console's Ctrl+C, Ctrl+Break and close. Each becomes a Qt
// signal on the user-interface thread, so that it takes the same path as the window's close
// button: nothing is lost without a word. The platform's own handler does only what is safe
// inside it and hands the request over; a request that the platform had set to be ignored (as
// nohup does) stays ignored.
//
// One lives at a time, for the whole program; the platform's earlier handling comes back when it
// goes.
class EndRequests final : public QObject {
    Q_OBJECT

  public:
    enum class Kind { Terminate, HangUp, Interrupt };
    Q_ENUM(Kind)

    explicit EndRequests(QObject* parent = nullptr);
    ~EndRequests() override;

    // What the platform's handler does when a request arrives; tests make requests with it.
    static void arrive(Kind kind);
    // Ends the program at once, as the request would have without a handler: for a person who
    // asked twice.
    [[noreturn]] static void endNow(Kind kind);

  signals:
    void requested(kelvarin::EndRequests::Kind kind);

  private:
    struct Listener;
    std::unique_ptr<Listener> listener_;
};

} // namespace kelvarin
