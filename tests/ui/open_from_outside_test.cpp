// Opening an image from outside the window: named on the command line, or dropped on the window.

#include "window_fixture.h"

#include "ui/command_line.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QProcess>

#include <filesystem>

namespace kelvarin::testing {
namespace {

using Action = CommandLine::Action;
using Bytes = std::vector<std::uint8_t>;

// A row that ends at once ends so in the real program too, with its exit status: --help and
// --version without any window system (a platform that cannot start would abort it).
TEST(CommandLineTest, ACommandLineRunsTheWindowIsAnsweredOrIsAUsageError) {
    struct Row {
        QStringList arguments;
        Action action;
        QString image; // the name of the file the window opens
    };
    const Row rows[] = {
        {{}, Action::Run, {}},
        {{"game.nds"}, Action::Run, "game.nds"},
        {{"gone/missing é 名前.nds"}, Action::Run, "missing é 名前.nds"}, // the load tells
        {{"a.nds", "b.nds"}, Action::Refuse, {}},
        {{"--help"}, Action::Answer, {}},
        {{"--version"}, Action::Answer, {}},
        {{"--open"}, Action::Refuse, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.arguments.join(' ').toStdString());
        const CommandLine read = ReadCommandLine(QStringList{"kelvarin"} + row.arguments);
        EXPECT_EQ(read.action, row.action);
        EXPECT_EQ(QFileInfo(read.image).fileName(), row.image);
        EXPECT_EQ(QFileInfo(read.image).isAbsolute(), !row.image.isEmpty());
        if (row.action == Action::Run) {
            continue;
        }
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (row.action == Action::Answer) {
            environment.insert("QT_QPA_PLATFORM", "no-such-platform");
        }
        program.setProcessEnvironment(environment);
        program.start(KELVARIN_PROGRAM, row.arguments);
        ASSERT_TRUE(program.waitForFinished(30000)) << program.errorString().toStdString();
        EXPECT_EQ(program.exitCode(), row.action == Action::Refuse ? 2 : 0);
        EXPECT_EQ(program.readAllStandardOutput().isEmpty(), row.action == Action::Refuse);
    }
}

// Drags `data` onto a list of the shown window and lets go, through the window's QWindow, which
// finds the widget under the pointer as for a real drag. Shift is held: the source proposes a
// move. Returns whether the drop was taken, and as what.
std::pair<bool, Qt::DropAction> DragAndDrop(QWidget& window, QWidget& over, const QMimeData& data) {
    const QPoint at = over.mapTo(&window, over.rect().center());
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    QDragEnterEvent enter(at, offered, &data, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(window.windowHandle(), &enter);
    if (!enter.isAccepted()) {
        QDragLeaveEvent leave;
        QApplication::sendEvent(window.windowHandle(), &leave);
        return {false, Qt::IgnoreAction};
    }
    QDropEvent drop(at, offered, &data, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(window.windowHandle(), &drop);
    QCoreApplication::processEvents(); // what the window does once the drop has ended
    return {drop.isAccepted(), drop.dropAction()};
}

// A drop or a named file loads as Open does, after the same question when changes are pending;
// anything else is refused with a message and changes nothing.
TEST_F(WindowTest, ADroppedOrNamedFileOpensAsByOpenAndNothingElseDoes) {
    const std::string image = dir.file("first.nds"), other = dir.file("Platinum (E) é 名前.nds");
    MakeRosterImage(other);
    StoreField(other, 0x1C2F858, 7); // G1P1
    const QUrl folder = QUrl::fromLocalFile(QString::fromStdString(dir.file("a folder.nds")));
    std::filesystem::create_directory(PathOf(folder.toLocalFile().toStdString()));
    const QUrl one = QUrl::fromLocalFile(QString::fromStdString(other));
    const QUrl gone = QUrl::fromLocalFile(QString::fromStdString(dir.file("gone.nds")));
    const QString lose = QStringLiteral("Open without saving");
    const Bytes asLoaded{0x2C, 0x01}, changed{42, 0};
    struct Row {
        bool named;       // on the command line, not dropped
        QList<QUrl> urls; // none: a drag that carries no file
        bool pending;     // G1P1 changed to 42 before
        QString answer;
        bool taken;  // the drop is taken, not only the drag
        int boxes;   // message boxes shown
        int shows;   // G1P1 afterwards: 7 from the other image, 42 kept, 300 as loaded
        Bytes saved; // G1P1 in the first image afterwards
    };
    const Row rows[] = {
        {false, {one}, false, {}, true, 0, 7, asLoaded},
        {false, {one}, true, "Save", true, 1, 7, changed},
        {false, {one}, true, lose, true, 1, 7, asLoaded},
        {false, {one}, true, "Cancel", true, 1, 42, asLoaded},
        {false, {folder}, true, {}, false, 1, 42, asLoaded},
        {false, {one, one}, true, {}, false, 1, 42, asLoaded},
        {false, {QUrl("https://example.org/game.nds")}, false, {}, false, 1, 300, asLoaded},
        {false, {}, false, {}, false, 0, 300, asLoaded},
        {true, {gone}, false, {}, true, 1, 300, asLoaded},
    };
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << "row " << (&row - rows));
        MakeRosterImage(image);
        dialogs.willChoose(QString::fromStdString(image));
        pressAnswering("cmdOpen", {lose});
        list("G1P1")->setCurrentIndex(row.pending ? 42 : 300);
        QMimeData data;
        data.setUrls(row.urls);
        std::pair<bool, Qt::DropAction> taken{true, Qt::CopyAction};
        const auto shown = MessagesShownDuring(
            [&] {
                if (row.named) {
                    window.openImage(row.urls.front().toLocalFile());
                } else {
                    taken = DragAndDrop(window, *list("G5P2"), data);
                }
            },
            row.answer);
        EXPECT_EQ(taken.first, row.taken);
        EXPECT_EQ(taken.second, row.taken ? Qt::CopyAction : Qt::IgnoreAction)
            << "a source told of a move deletes the file";
        ASSERT_EQ(shown.size(), static_cast<std::size_t>(row.boxes));
        EXPECT_EQ(list("G1P1")->currentIndex(), row.shows);
        EXPECT_EQ(ReadBytesAt(image, 0x1C2F858, 2), row.saved);
    }
}

} // namespace
} // namespace kelvarin::testing
