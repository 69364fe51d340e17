#include "ui/main_window.h"

#include "roster/roster.h"
#include "ui/artwork.h"
#include "ui/common_dialog.h"
#include "ui/fixed_lists.h"
#include "ui/font_fit.h"
#include "ui/window_layout.h"

#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>

#include <exception>

namespace kelvarin {

namespace {

QRect Shifted(QRect twips, int rows) {
    twips.translate(0, rows * kMemberRowStepTwips);
    return twips;
}

QString ListDescription(int gym, int member, const char* kind) {
    return QStringLiteral("Gym %1, member %2, %3").arg(gym).arg(member).arg(QLatin1String(kind));
}

QLabel* AddLabel(QWidget* parent, std::string_view name, const QString& text, const QRect& twips) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(ToQString(name));
    label->setGeometry(PixelRect(twips));
    return label;
}

} // namespace

MainWindow::MainWindow(FileDialogBackend& dialogs, QWidget* parent)
    : QWidget(parent), dialogs_(dialogs), models_(std::make_unique<FixedListModels>(this)) {
    setObjectName(QStringLiteral("cmdOpen"));
    setWindowTitle(QStringLiteral("Kelvarin"));
    setWindowIcon(ApplicationIcon());
    resize(TwipsToPixels(kClientWidthTwips), TwipsToPixels(kClientHeightTwips));
    // Chosen before any control exists, so that every control is made in it: changing the font
    // of 52 built lists would make each build its drop-down list at once. The texts are measured
    // in the style the lists are drawn in.
    const QStyle& drawnIn = UseCompactComboStyle();
    setFont(FontThatFits(
        WindowTextBoxes(drawnIn, models_->speciesEntries(), models_->levelEntries()), font()));

    // Created in keyboard order: Open, Save, then each gym's rows from top to bottom.
    QPushButton* open = addButton("cmdOpen", QStringLiteral("Open"), kOpenButtonTwips);
    QPushButton* save = addButton("cmdSave", QStringLiteral("Save"), kSaveButtonTwips);
    connect(open, &QPushButton::clicked, this, &MainWindow::cmdOpen_Click);
    connect(save, &QPushButton::clicked, this, &MainWindow::cmdSave_Click);
    connect(new QShortcut(QKeySequence::Open, this), &QShortcut::activated, open,
            &QPushButton::click);
    connect(new QShortcut(QKeySequence::Save, this), &QShortcut::activated, save,
            &QPushButton::click);

    for (const GymFrameLayout& gym : kGymFrames) {
        addGymFrame(gym);
    }
    addCredits();
}

MainWindow::~MainWindow() = default;

QPushButton* MainWindow::addButton(const char* name, const QString& caption, const QRect& twips) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(PixelRect(twips));
    button->setAutoDefault(false);
    return button;
}

void MainWindow::addGymFrame(const GymFrameLayout& gym) {
    auto* frame = new QGroupBox(ToQString(gym.caption), this);
    frame->setObjectName(ToQString(gym.frame));
    const int height =
        gym.members == kMaxMembers ? kFourMemberFrameHeightTwips : kThreeMemberFrameHeightTwips;
    frame->setGeometry(PixelRect({gym.leftTwips, gym.topTwips, kGymFrameWidthTwips, height}));

    AddLabel(frame, gym.leaderLabel, ToQString(gym.leaderText), LeaderLabelTwips(gym));
    AddLabel(frame, gym.levelHeading, ToQString(kLevelHeadingText), kLevelHeadingTwips);
    AddLabel(frame, gym.speciesHeading, ToQString(kSpeciesHeadingText), kSpeciesHeadingTwips);

    auto* picture = new QLabel(frame);
    picture->setObjectName(ToQString(gym.picture));
    picture->setGeometry(PixelRect(kPictureTwips));
    picture->setFrameStyle(QFrame::Box | QFrame::Plain);
    picture->setAlignment(Qt::AlignCenter);
    picture->setPixmap(GymPicture(gym.gym));
    picture->setAccessibleName(QStringLiteral("Gym %1 leader").arg(gym.gym));

    for (int row = 0; row < gym.members; ++row) {
        const MemberRow member = ListNames(gym, row);
        const int number = row + 1;
        QComboBox* level =
            addList(frame, member.levelList, Shifted(kFirstLevelListTwips, row),
                    gym.boundToRoster ? models_->level() : models_->levelPlaceholder(),
                    ListDescription(gym.gym, number, "level"));
        QComboBox* species =
            addList(frame, member.speciesList, Shifted(kFirstSpeciesListTwips, row),
                    gym.boundToRoster ? models_->species() : models_->speciesPlaceholder(),
                    ListDescription(gym.gym, number, "species"));
        if (gym.boundToRoster) {
            lists_.bind(member.levelList, level);
            lists_.bind(member.speciesList, species);
        }
    }
}

QComboBox* MainWindow::addList(QGroupBox* frame, std::string_view name, const QRect& twips,
                               QAbstractItemModel* entries, const QString& accessibleName) {
    auto* list = new QComboBox(frame);
    list->setObjectName(ToQString(name));
    list->setModel(entries);
    list->setCurrentIndex(-1);
    list->setGeometry(PixelRect(twips));
    list->setAccessibleName(accessibleName);
    return list;
}

void MainWindow::addCredits() {
    auto* strip = new QGroupBox(this);
    strip->setObjectName(QStringLiteral("Frame4"));
    strip->setGeometry(PixelRect(kCreditsFrameTwips));
    AddLabel(strip, "Label25", ToQString(kCreditsText), kCreditsLabelTwips);
}

void MainWindow::cmdOpen_Click() {
    try {
        // A new dialog object for every press: nothing of an earlier dialog carries over.
        clsCommonDialog dialog(dialogs_);
        const std::int32_t flags = kOpenDialogFlags;
        const QString chosen =
            dialog.ShowOpen(this, kOpenDialogTitle, QString(), kOpenDialogFilter, flags);
        const LoadResult result = LoadRoster(chosen.toUtf8().toStdString(), ImagePath, lists_);
        if (result.status == LoadStatus::Refused) {
            showError(QString::fromStdString(result.message));
        }
    } catch (const std::exception& error) {
        showError(QStringLiteral("The image could not be opened: %1")
                      .arg(QString::fromLocal8Bit(error.what())));
    }
}

void MainWindow::cmdSave_Click() {
    try {
        const SaveResult result = SaveRoster(ImagePath, lists_);
        if (result.status == SaveStatus::Failed) {
            showError(QString::fromStdString(result.message));
        }
    } catch (const std::exception& error) {
        showError(QStringLiteral("The image could not be saved: %1")
                      .arg(QString::fromLocal8Bit(error.what())));
    }
}

void MainWindow::showError(const QString& message) {
    QMessageBox::critical(this, windowTitle(), message);
}

} // namespace kelvarin
