#pragma once

#include <QString>
#include <QStringList>

namespace kelvarin {

// What the program is asked on its command line: `kelvarin [FILE]`, `--help` or `--version`.
struct CommandLine {
    enum class Action {
        Run,    // show the window, and open `image` in it when one is named
        Answer, // print `text` on the standard output and end
        Refuse, // print `text` on the standard error and end: a usage error
    };
    Action action = Action::Run;
    QString image; // the image to open, as an absolute path; empty when none is named
    QString text;
    int status = 0; // the exit status when the program ends at once
};

// Reads `arguments` as QCoreApplication::arguments() gives them, the program first. Whether the
// named file can be used is for the load to say, in the window.
CommandLine ReadCommandLine(const QStringList& arguments);

// Prints what `command` answers on the stream it belongs on.
void Tell(const CommandLine& command);

} // namespace kelvarin
