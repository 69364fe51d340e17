#include "ui/command_line.h"

#include <QFileInfo>

#include <cstdio>

namespace kelvarin {

namespace {

constexpr int kUsageError = 2; // as other programs of the system end on a wrong command line

const QString kUsage =
    QStringLiteral("Usage: kelvarin [FILE]\n"
                   "Edit the gym-leader teams of a Nintendo DS game image (.nds).\n"
                   "FILE, when given, is opened in the window as Open would open it.\n"
                   "\n"
                   "  --help     show this help and exit\n"
                   "  --version  show the version and exit\n");

CommandLine Answer(const QString& text) {
    return {CommandLine::Action::Answer, {}, text, 0};
}

CommandLine Refuse(const QString& why) {
    return {CommandLine::Action::Refuse,
            {},
            QStringLiteral("kelvarin: ") + why +
                QStringLiteral("\nTry 'kelvarin --help' for more information.\n"),
            kUsageError};
}

} // namespace

CommandLine ReadCommandLine(const QStringList& arguments) {
    QStringList files;
    bool options = true; // until "--", after which every argument is a file
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (options && argument == QLatin1String("--")) {
            options = false;
        } else if (options && argument == QLatin1String("--help")) {
            return Answer(kUsage);
        } else if (options && argument == QLatin1String("--version")) {
            return Answer(QStringLiteral("kelvarin " KELVARIN_VERSION "\n"));
        } else if (options && argument.startsWith(QLatin1Char('-'))) {
            return Refuse(QStringLiteral("unrecognized option '%1'").arg(argument));
        } else if (argument.isEmpty()) {
            return Refuse(QStringLiteral("the file name is empty"));
        } else {
            files.append(argument);
        }
    }
    if (files.size() > 1) {
        return Refuse(
            QStringLiteral("one game image at a time: %1 files were named").arg(files.size()));
    }
    CommandLine run;
    if (!files.isEmpty()) {
        // The messages name the file by its whole path, as for one chosen in the dialog.
        run.image = QFileInfo(files.constFirst()).absoluteFilePath();
    }
    return run;
}

void Tell(const CommandLine& command) {
    const QByteArray text = command.text.toLocal8Bit();
    std::FILE* stream = command.action == CommandLine::Action::Answer ? stdout : stderr;
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stream);
    std::fflush(stream);
}

} // namespace kelvarin
