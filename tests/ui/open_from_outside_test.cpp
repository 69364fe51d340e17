// The ways of opening an image from outside the window: a file named on the command line, and a
// file dropped on the window from a file manager. Both end in the load of the Open button.

#include "window_fixture.h"

#include "ui/command_line.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QProcess>
#include <QUrl>

#include <filesystem>
#include <memory>

namespace kelvarin::testing {
namespace {

using Action = CommandLine::Action;
using Bytes = std::vector<std::uint8_t>;

// Every row that ends at once is also given to the real program, which must end the same way:
// --help and --version without any window system (a platform that cannot start would abort).
TEST(CommandLineTest, ACommandLineRunsTheWindowIsAnsweredOrIsAUsageError) {
    struct Row {
        QStringList arguments;
        Action action;
        QString image; // the file name the window is to open
    };
    const Row rows[] = {
        {{}, Action::Run, {}},
        {{"game.nds"}, Action::Run, "game.nds"},
        {{"gone/missing é 名前.nds"}, Action::Run, "missing é 名前.nds"}, // the load tells
        {{"--", "-odd.nds"}, Action::Run, "-odd.nds"},
        {{"a.nds", "b.nds"}, Action::Refuse, {}},
        {{"--help"}, Action::Answer, {}},
        {{"--version"}, Action::Answer, {}},
        {{"game.nds", "--help"}, Action::Answer, {}},
        {{"--open"}, Action::Refuse, {}},
        {{"-"}, Action::Refuse, {}},
        {{""}, Action::Refuse, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.arguments.join(' ').toStdString());
        const CommandLine read = ReadCommandLine(QStringList{"kelvarin"} + row.arguments);
        EXPECT_EQ(read.action, row.action);
        EXPECT_EQ(read.status, row.action == Action::Refuse ? 2 : 0);
        EXPECT_EQ(read.text.isEmpty(), row.action == Action::Run);
        EXPECT_EQ(QFileInfo(read.image).fileName(), row.image);
        EXPECT_EQ(QFileInfo(read.image).isAbsolute(), !row.image.isEmpty());
        if (row.action == Action::Run) {
            continue;
        }
        QProcess program;
        if (row.action == Action::Answer) {
            QProcessEnvironment nowhere = QProcessEnvironment::systemEnvironment();
            nowhere.insert("QT_QPA_PLATFORM", "no-such-platform");
            program.setProcessEnvironment(nowhere);
        }
        program.start(KELVARIN_PROGRAM, row.arguments);
        ASSERT_TRUE(program.waitForFinished(30000)) << program.errorString().toStdString();
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), read.status);
        const bool refused = row.action == Action::Refuse;
        EXPECT_EQ(program.readAllStandardOutput().isEmpty(), refused);
        EXPECT_EQ(program.readAllStandardError().contains("kelvarin: "), refused);
    }
}

class OpenFromOutsideTest : public WindowTest {
  protected:
    // Drags `data` onto a list of the shown window and lets go, as the window system delivers it:
    // through the window's QWindow, which finds the widget under the pointer. Shift is held, so
    // the source proposes to move the file. Returns whether the drop was taken and how.
    std::pair<bool, Qt::DropAction> dragAndDrop(const QMimeData& data) {
        QComboBox* over = list("G5P2");
        const QPoint at = over->mapTo(&window, over->rect().center());
        const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
        QWindow* handle = window.windowHandle();
        QDragEnterEvent enter(at, offered, &data, Qt::LeftButton, Qt::ShiftModifier);
        QApplication::sendEvent(handle, &enter);
        if (!enter.isAccepted()) {
            QDragLeaveEvent leave;
            QApplication::sendEvent(handle, &leave);
            return {false, Qt::IgnoreAction};
        }
        QDropEvent drop(at, offered, &data, Qt::LeftButton, Qt::ShiftModifier);
        QApplication::sendEvent(handle, &drop);
        QCoreApplication::processEvents(); // what comes after the drop
        return {drop.isAccepted(), drop.dropAction()};
    }

    std::string image = dir.file("first.nds");
    std::string other = dir.file("Platinum (E) é 名前.nds");
};

QUrl FileUrl(const std::string& path) {
    return QUrl::fromLocalFile(QString::fromStdString(path));
}

// A drop or a named file loads as Open does, after the same question when changes are pending;
// anything else is refused with a message and changes nothing.
TEST_F(OpenFromOutsideTest, ADroppedOrNamedFileOpensAsByOpenAndNothingElseDoes) {
    enum class Way { Drop, Named };
    struct Row {
        Way way;
        std::vector<QUrl> urls; // none: text and an empty list of files
        bool pending;
        QStringList answers;
        bool taken;      // the drop is taken, not only the drag
        int boxes;       // message boxes shown
        int showsG1P1;   // the list afterwards: 7 from the other image, 42 kept, 300 loaded
        Bytes imageG1P1; // the first image's field afterwards
    };
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    MakeRosterImage(other);
    StoreField(other, 0x1C2F858, 7);
    const std::string folder = dir.file("a folder.nds");
    std::filesystem::create_directory(folder);
    const QString save = QStringLiteral("Save");
    const QString lose = QStringLiteral("Open without saving");
    const QString cancel = QStringLiteral("Cancel");
    const Bytes asLoaded{0x2C, 0x01}, changed{42, 0};
    const Row rows[] = {
        {Way::Drop, {FileUrl(other)}, false, {}, true, 0, 7, asLoaded},
        {Way::Drop, {FileUrl(other)}, true, {save}, true, 1, 7, changed},
        {Way::Drop, {FileUrl(other)}, true, {lose}, true, 1, 7, asLoaded},
        {Way::Drop, {FileUrl(other)}, true, {cancel}, true, 1, 42, asLoaded},
        {Way::Drop, {FileUrl(folder)}, true, {}, false, 1, 42, asLoaded},
        {Way::Drop, {FileUrl(other), FileUrl(image)}, true, {}, false, 1, 42, asLoaded},
        {Way::Drop, {QUrl("https://example.org/game.nds")}, false, {}, false, 1, 300, asLoaded},
        {Way::Drop, {}, false, {}, false, 0, 300, asLoaded},
        {Way::Drop, {FileUrl(dir.file("gone.nds"))}, false, {}, true, 1, 300, asLoaded},
        {Way::Named, {FileUrl(other)}, true, {lose}, true, 1, 7, asLoaded},
        {Way::Named, {FileUrl(dir.file("gone.nds"))}, false, {}, true, 1, 300, asLoaded},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << "row " << (&row - rows));
        MakeRosterImage(image);
        dialogs.dropAnswers();
        dialogs.willChoose(QString::fromStdString(image));
        pressAnswering("cmdOpen", {lose});
        if (row.pending) {
            list("G1P1")->setCurrentIndex(42);
        }

        QMimeData data;
        data.setText(QStringLiteral("game.nds"));
        data.setUrls(QList<QUrl>(row.urls.begin(), row.urls.end()));
        std::pair<bool, Qt::DropAction> taken{true, Qt::CopyAction};
        const auto shown = MessagesShownDuring(
            [&] {
                if (row.way == Way::Drop) {
                    taken = dragAndDrop(data);
                } else {
                    window.openImage(row.urls.front().toLocalFile());
                }
            },
            row.answers);
        EXPECT_EQ(taken.first, row.taken);
        if (taken.first) {
            EXPECT_EQ(taken.second, Qt::CopyAction) << "a source told of a move deletes the file";
        }
        ASSERT_EQ(shown.size(), static_cast<std::size_t>(row.boxes));
        if (row.boxes > 0 && row.answers.isEmpty()) {
            EXPECT_EQ(shown.front().icon, QMessageBox::Critical);
        }
        EXPECT_EQ(list("G1P1")->currentIndex(), row.showsG1P1);
        EXPECT_EQ(ReadBytesAt(image, 0x1C2F858, 2), row.imageG1P1);
        EXPECT_EQ(window.isWindowModified(), row.showsG1P1 == 42);
    }
    EXPECT_EQ(StoredValue(other, 0x1C2F858), 7) << "a dropped file is only read";
}

} // namespace
} // namespace kelvarin::testing
