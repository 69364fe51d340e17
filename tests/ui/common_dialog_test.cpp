// The open-file dialog layer: how its filter text and flags reach the platform dialog, and
// what one dialog object remembers between its dialogs.

#include "stand_in_dialogs.h"
#include "test_image.h"
#include "ui/common_dialog.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace kelvarin::testing {
namespace {

TEST(NameFilters, DescriptionPatternPairsBecomeOneFilterEach) {
    EXPECT_EQ(NameFiltersFromPairs("NDS ROMs (*.nds)|*.nds"), QStringList{"NDS ROMs (*.nds)"});
    EXPECT_EQ(NameFiltersFromPairs("Images|*.png;*.bmp|All files|*.*"),
              (QStringList{"Images (*.png *.bmp)", "All files (*.*)"}));
    EXPECT_EQ(NameFiltersFromPairs("|*.nds"), QStringList{"(*.nds)"});
}

TEST(NameFilters, TrailingSeparatorAndEmptyFilterAddNothing) {
    EXPECT_EQ(NameFiltersFromPairs("NDS ROMs (*.nds)|*.nds|"), QStringList{"NDS ROMs (*.nds)"});
    EXPECT_EQ(NameFiltersFromPairs(""), QStringList{});
    EXPECT_EQ(NameFiltersFromPairs("|"), QStringList{});
    EXPECT_EQ(NameFiltersFromPairs("NDS ROMs|"), QStringList{});
    EXPECT_EQ(NameFiltersFromPairs("NDS ROMs|*.nds|Orphan description"),
              QStringList{"NDS ROMs (*.nds)"});
}

class CommonDialogTest : public ::testing::Test {
  protected:
    QString showOpen(const QString& initDir, std::int32_t flags = 6148) {
        return dialog.ShowOpen(&owner, QStringLiteral("Title"), initDir,
                               QStringLiteral("A|*.a|B|*.b"), flags);
    }

    QWidget owner;
    StandInDialogs platform;
    clsCommonDialog dialog{platform};
};

TEST_F(CommonDialogTest, HandsTitleOwnerFiltersAndFlagsToThePlatform) {
    const std::int32_t flags = 6148;
    platform.willChoose(QStringLiteral("/images/one.nds"));
    EXPECT_EQ(dialog.ShowOpen(&owner, QStringLiteral("Open Pokemon NDS ROM..."), QString(),
                              QStringLiteral("NDS ROMs (*.nds)|*.nds"), flags),
              "/images/one.nds");
    EXPECT_EQ(flags, 6148);
    ASSERT_EQ(platform.requests.size(), 1u);
    const FileDialogRequest& asked = platform.requests.front();
    EXPECT_EQ(asked.purpose, FileDialogRequest::Purpose::Open);
    EXPECT_EQ(asked.owner, &owner);
    EXPECT_EQ(asked.title, "Open Pokemon NDS ROM...");
    EXPECT_EQ(asked.nameFilters, QStringList{"NDS ROMs (*.nds)"});
    EXPECT_TRUE(asked.fileMustExist);
    EXPECT_FALSE(asked.confirmOverwrite);

    showOpen(QString(), 0);
    EXPECT_FALSE(platform.requests.back().fileMustExist);
}

TEST_F(CommonDialogTest, SaveDialogAsksBeforeOverwritingOnlyWhenFlagged) {
    dialog.ShowSave(&owner, QStringLiteral("Save"), QString(), QStringLiteral("A|*.a"),
                    OFN_OVERWRITEPROMPT);
    dialog.ShowSave(&owner, QStringLiteral("Save"), QString(), QStringLiteral("A|*.a"), 0);
    ASSERT_EQ(platform.requests.size(), 2u);
    EXPECT_EQ(platform.requests[0].purpose, FileDialogRequest::Purpose::Save);
    EXPECT_TRUE(platform.requests[0].confirmOverwrite);
    EXPECT_FALSE(platform.requests[1].confirmOverwrite);
}

TEST_F(CommonDialogTest, NewObjectStartsWithNoFolderAndTheFirstFilter) {
    EXPECT_EQ(dialog.FilterIndex(), 0);
    showOpen(QString());
    EXPECT_TRUE(platform.requests.back().startPath.isEmpty());
    EXPECT_EQ(platform.requests.back().startFilter, 0);
}

TEST_F(CommonDialogTest, ChosenFileBecomesTheNextStartAndItsFilterIsKept) {
    platform.willChoose(QStringLiteral("/images/b.b"), 2);
    EXPECT_EQ(showOpen(QString()), "/images/b.b");
    EXPECT_EQ(dialog.FilterIndex(), 2);

    showOpen(QString());
    EXPECT_EQ(platform.requests.back().startPath, "/images/b.b");
    EXPECT_EQ(platform.requests.back().startFilter, 2);

    showOpen(QStringLiteral("/elsewhere"));
    EXPECT_EQ(platform.requests.back().startPath, "/elsewhere");
}

TEST_F(CommonDialogTest, CancelReturnsNothingAndForgetsNothing) {
    platform.willChoose(QStringLiteral("/images/a.a"), 1);
    showOpen(QString());
    platform.willCancel();
    EXPECT_TRUE(showOpen(QString()).isEmpty());
    platform.willChoose(QString(), 2); // a platform that "succeeds" with no name
    EXPECT_TRUE(showOpen(QString()).isEmpty());
    EXPECT_EQ(dialog.FilterIndex(), 1);
    showOpen(QString()); // still starts where the last chosen file is
    EXPECT_EQ(platform.requests.back().startPath, "/images/a.a");
}

TEST_F(CommonDialogTest, AnyPathComesBackExactlyAsChosen) {
    const QString odd = QStringLiteral("/tmp/") + QString(400, QLatin1Char('x')) +
                        QStringLiteral("/ spaced é 名前 |pipe| ;semi;.nds ");
    platform.willChoose(odd);
    EXPECT_EQ(showOpen(QString()), odd);
    showOpen(QString());
    EXPECT_EQ(platform.requests.back().startPath, odd);
}

// The real platform dialog, driven by a timer as a person would drive it.
class QtFileDialogTest : public ::testing::Test {
  protected:
    // Runs `respond` on the file dialog once it is up, while `ask` waits for it.
    template <typename Ask>
    auto whileShowing(const std::function<void(QFileDialog&)>& respond, Ask ask) {
        QTimer poll;
        poll.setInterval(5);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (auto* shown = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                poll.stop();
                respond(*shown);
            }
        });
        poll.start();
        return ask();
    }

    TempDir dir;
    QtFileDialogBackend platform;
};

TEST_F(QtFileDialogTest, ShowsTheRequestAndReturnsTheChosenFile) {
    const std::string image = dir.file("chosen.nds");
    MakeSparseFile(image, 16);
    FileDialogRequest request;
    request.title = QStringLiteral("Open Pokemon NDS ROM...");
    request.nameFilters = QStringList{"NDS ROMs (*.nds)", "All (*)"};
    request.startFilter = 2;
    request.startPath = QString::fromStdString(dir.path().string());
    request.fileMustExist = true;

    QString shownTitle;
    QStringList shownFilters;
    QString startFilter;
    QFileDialog::FileMode mode = QFileDialog::AnyFile;
    const auto choice = whileShowing(
        [&](QFileDialog& shown) {
            shownTitle = shown.windowTitle();
            shownFilters = shown.nameFilters();
            startFilter = shown.selectedNameFilter();
            mode = shown.fileMode();
            shown.selectNameFilter(QStringLiteral("NDS ROMs (*.nds)"));
            shown.selectFile(QString::fromStdString(image));
            static_cast<QDialog&>(shown).accept(); // as the Open button does
        },
        [&] { return platform.choose(request); });

    EXPECT_EQ(shownTitle, "Open Pokemon NDS ROM...");
    EXPECT_EQ(shownFilters, request.nameFilters);
    EXPECT_EQ(startFilter, "All (*)");
    EXPECT_EQ(mode, QFileDialog::ExistingFile);
    ASSERT_TRUE(choice.has_value());
    // Qt hands back '/' as the separator on every system.
    EXPECT_EQ(choice->path, QDir::fromNativeSeparators(QString::fromStdString(image)));
    EXPECT_EQ(choice->filter, 1);
}

// Enter pressed on a typed path with its completions on show: once the dialog is done no pop-up
// is left open, for the activation of the window it returns to comes right after, and Qt drops
// it while a pop-up is open.
TEST_F(QtFileDialogTest, NoPopUpOutlivesTheDialog) {
    const std::string image = dir.file("typed.nds");
    MakeSparseFile(image, 16);
    FileDialogRequest request;
    request.title = QStringLiteral("Open");
    request.startPath = QString::fromStdString(dir.path().string());
    QWidget* completions = nullptr;
    QWidget* leftOpen = nullptr;
    const auto choice = whileShowing(
        [&](QFileDialog& shown) {
            QObject::connect(&shown, &QDialog::finished,
                             [&] { leftOpen = QApplication::activePopupWidget(); });
            shown.selectFile(QString::fromStdString(image));
            for (auto* edit : shown.findChildren<QLineEdit*>()) {
                if (edit->completer() != nullptr) {
                    edit->completer()->popup()->show();
                }
            }
            completions = QApplication::activePopupWidget();
            QTest::keyClick(completions != nullptr ? completions : &shown, Qt::Key_Return);
        },
        [&] { return platform.choose(request); });
    ASSERT_NE(completions, nullptr);
    EXPECT_EQ(leftOpen, nullptr);
    EXPECT_TRUE(choice.has_value());
}

TEST_F(QtFileDialogTest, ClosingTheDialogChoosesNothing) {
    FileDialogRequest request;
    request.title = QStringLiteral("Open");
    const auto choice = whileShowing([](QFileDialog& shown) { shown.reject(); },
                                     [&] { return platform.choose(request); });
    EXPECT_FALSE(choice.has_value());
}

// Qt's own dialog would keep the folder it was last in for the next run of the program, in the
// user's configuration; the editor keeps nothing between runs.
TEST_F(QtFileDialogTest, LeavesNothingBehindForTheNextRun) {
    const std::filesystem::path config = qEnvironmentVariable("XDG_CONFIG_HOME").toStdString();
    const std::filesystem::path home = qEnvironmentVariable("HOME").toStdString();
    ASSERT_FALSE(config.empty());
    const std::string image = dir.file("chosen.nds");
    MakeSparseFile(image, 16);
    FileDialogRequest request;
    request.title = QStringLiteral("Open");
    request.startPath = QString::fromStdString(dir.path().string());
    const auto choice = whileShowing(
        [&](QFileDialog& shown) {
            shown.selectFile(QString::fromStdString(image));
            static_cast<QDialog&>(shown).accept();
        },
        [&] { return platform.choose(request); });
    ASSERT_TRUE(choice.has_value());
    EXPECT_FALSE(std::filesystem::exists(config / "QtProject.conf"));
    EXPECT_FALSE(std::filesystem::exists(home / ".config" / "QtProject.conf"));
    // Where Qt keeps its settings in the registry instead, they are as they were.
    EXPECT_FALSE(QSettings(QSettings::UserScope, QStringLiteral("QtProject"))
                     .childGroups()
                     .contains(QStringLiteral("FileDialog")));
}

} // namespace
} // namespace kelvarin::testing
