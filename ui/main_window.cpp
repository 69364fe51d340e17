#include "ui/main_window.h"

#include "image/image_file.h"
#include "roster/roster.h"
#include "ui/announcer.h"
#include "ui/artwork.h"
#include "ui/command_button.h"
#include "ui/common_dialog.h"
#include "ui/dropped_image.h"
#include "ui/field_list.h"
#include "ui/fixed_lists.h"
#include "ui/font_fit.h"
#include "ui/held_keys.h"
#include "ui/screen_fit.h"
#include "ui/window_layout.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDropEvent>
#include <QEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScrollArea>
#include <QSessionManager>

#include <exception>

namespace kelvarin {

namespace {

// The one place where a name from the dialog becomes a path for the core: UTF-8 on every
// platform, which the file layer turns into the system's own form.
std::string ImagePathFromDialog(const QString& chosen) {
    return chosen.toUtf8().toStdString();
}

QRect Shifted(QRect twips, int rows) {
    twips.translate(0, rows * kMemberRowStepTwips);
    return twips;
}

// Gym 6's lists are shown and can be picked from, but stand for no field of the image.
const QString kPlaceholderDescription =
    QStringLiteral("Placeholder: not read from the image and not saved");

QLabel* AddLabel(QWidget* parent, std::string_view name, const QString& text, const QRect& twips,
                 PlacedControls& placed) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(ToQString(name));
    placed.place(*label, twips);
    return label;
}

// Enter presses the focused button as Space does, and as buttons do on Windows: once, however
// long it is held. With a modifier it is left to others.
bool PressedByEnter(QObject* watched, const QEvent* event) {
    auto* button = qobject_cast<QPushButton*>(watched);
    if (button == nullptr || event->type() != QEvent::KeyPress) {
        return false;
    }
    const auto* key = static_cast<const QKeyEvent*>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (!enter || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        return false;
    }
    if (!key->isAutoRepeat()) {
        button->click();
    }
    return true;
}

} // namespace

void InstallAccessibleInterfaces() {
    InstallFieldListAccessibility();
    InstallCommandButtonAccessibility();
}

MainWindow::MainWindow(FileDialogBackend& dialogs, QWidget* parent)
    : QWidget(parent), dialogs_(dialogs), models_(std::make_unique<FixedListModels>(this)) {
    setObjectName(QStringLiteral("cmdOpen"));
    setWindowTitle(kCaption + QStringLiteral("[*]"));
    setWindowIcon(ApplicationIcon(devicePixelRatioF()));
    // Chosen before any control exists, so that every control is made in it: changing the font
    // of 52 built lists would make each build its drop-down list at once.
    const WindowFit fit = fitFont();
    const QSize client = ClientPixels(fit.scale);
    resize(client);
    view_ = AddFittedView(*this, client);

    // Created in keyboard order: Open, Save, then each gym's rows from top to bottom.
    QPushButton* open = addButton(kOpenButton);
    QPushButton* save = addButton(kSaveButton);
    connect(open, &QPushButton::clicked, this, &MainWindow::cmdOpen_Click);
    connect(save, &QPushButton::clicked, this, &MainWindow::cmdSave_Click);
    // The buttons' own shortcuts, so that assistive technology names them with the buttons.
    open->setShortcut(QKeySequence::Open);
    save->setShortcut(QKeySequence::Save);

    for (const GymFrameLayout& gym : kGymFrames) {
        addGymFrame(gym);
    }
    addCredits();

    for (const QComboBox* list : findChildren<QComboBox*>()) {
        connect(list, &QComboBox::currentIndexChanged, this, &MainWindow::listChanged);
    }
    offerSave();
    announcer_ = new Announcer(*this);
    new HeldKeys(this);
    setAcceptDrops(true); // a game image dropped on the window opens as by Open
#if QT_CONFIG(sessionmanager)
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this, &MainWindow::commitData);
#endif
}

MainWindow::~MainWindow() = default;

WindowFit MainWindow::fitFont() {
    // The texts are measured in the style the lists are drawn in.
    fittedFor_ = QApplication::font();
    WindowFit fit = FitWindow(UseCompactComboStyle(), models_->speciesEntries(),
                              models_->levelEntries(), fittedFor_);
    setFont(fit.font);
    placed_.setScale(fit.scale);
    return fit;
}

QPushButton* MainWindow::addButton(const PlacedText& placed) {
    auto* button = new CommandButton(ToQString(placed.text), view_->widget());
    button->setObjectName(ToQString(placed.name));
    placed_.place(*button, placed.twips);
    button->setAutoDefault(false);
    button->installEventFilter(this); // for Enter
    return button;
}

void MainWindow::addGymFrame(const GymFrameLayout& gym) {
    auto* frame = new QGroupBox(ToQString(gym.caption), view_->widget());
    frame->setObjectName(ToQString(gym.frame));
    const int height =
        gym.members == kMaxMembers ? kFourMemberFrameHeightTwips : kThreeMemberFrameHeightTwips;
    placed_.place(*frame, {gym.leftTwips, gym.topTwips, kGymFrameWidthTwips, height});

    AddLabel(frame, gym.leaderLabel, ToQString(gym.leaderText), LeaderLabelTwips(gym), placed_);
    AddLabel(frame, gym.levelHeading, ToQString(kLevelHeadingText), kLevelHeadingTwips, placed_);
    AddLabel(frame, gym.speciesHeading, ToQString(kSpeciesHeadingText), kSpeciesHeadingTwips,
             placed_);

    auto* picture = new PixelArtLabel(frame);
    picture->setObjectName(ToQString(gym.picture));
    placed_.place(*picture, kPictureTwips);
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
                    FieldName(gym.gym, number, SlotKind::Level));
        QComboBox* species =
            addList(frame, member.speciesList, Shifted(kFirstSpeciesListTwips, row),
                    gym.boundToRoster ? models_->species() : models_->speciesPlaceholder(),
                    FieldName(gym.gym, number, SlotKind::Species));
        if (!gym.boundToRoster) {
            level->setAccessibleDescription(kPlaceholderDescription);
            species->setAccessibleDescription(kPlaceholderDescription);
        }
    }
}

QComboBox* MainWindow::addList(QGroupBox* frame, std::string_view name, const QRect& twips,
                               QAbstractItemModel* entries, const QString& fieldName) {
    auto* list = new FieldList(frame);
    list->setObjectName(ToQString(name));
    list->setModel(entries);
    list->setCurrentIndex(-1);
    placed_.place(*list, twips);
    // What a screen reader calls the list, whatever entry it shows; the entry is its value.
    list->setAccessibleName(fieldName);
    // A wheel turned over the window must not change a value on its way past: a list takes the
    // wheel only once it has the keyboard focus, by a click or by Tab.
    list->setFocusPolicy(Qt::StrongFocus);
    list->installEventFilter(this);
    return list;
}

void MainWindow::addCredits() {
    auto* strip = new QGroupBox(view_->widget());
    strip->setObjectName(ToQString(kCreditsFrame));
    placed_.place(*strip, kCreditsFrameTwips);
    AddLabel(strip, kCreditsLabel.name, ToQString(kCreditsLabel.text), kCreditsLabel.twips,
             placed_);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (PressedByEnter(watched, event)) {
        return true;
    }
    if (event->type() == QEvent::Wheel) {
        if (const auto* list = qobject_cast<QComboBox*>(watched); list && !list->hasFocus()) {
            // The wheel goes on to the view, which scrolls where the window is cut.
            QCoreApplication::sendEvent(view_->viewport(), event);
            return true;
        }
    }
    // The view brings a list into sight when Tab reaches it; so too when the focus comes from
    // elsewhere, such as from assistive technology.
    if (event->type() == QEvent::FocusIn) {
        if (auto* list = qobject_cast<QComboBox*>(watched)) {
            view_->ensureWidgetVisible(list);
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool MainWindow::event(QEvent* event) {
    // A desktop's new font comes as a new application font, or with a new theme.
    const bool mayChangeFont =
        event->type() == QEvent::ApplicationFontChange || event->type() == QEvent::ThemeChange;
    if (mayChangeFont && QApplication::font() != fittedFor_) {
        Refit(*this, *view_, ClientPixels(fitFont().scale));
    }
    return QWidget::event(event);
}

void MainWindow::showEvent(QShowEvent* event) {
    if (!followsScreen_) {
        OnScreenChange(*this, [this] {
            FitToScreen(*this, *view_);
            setWindowIcon(ApplicationIcon(devicePixelRatioF()));
        });
        followsScreen_ = true;
    }
    FitToScreen(*this, *view_);
    QWidget::showEvent(event);
}

QComboBox* MainWindow::NamedLists::find(std::string_view control) const {
    return window_.findChild<QComboBox*>(ToQString(control));
}

std::int16_t MainWindow::NamedLists::selectedIndex(std::string_view control) const {
    const QComboBox* list = find(control);
    return list == nullptr ? std::int16_t{-1} : static_cast<std::int16_t>(list->currentIndex());
}

void MainWindow::NamedLists::setSelectedIndex(std::string_view control, std::int16_t index) {
    if (QComboBox* list = find(control)) {
        list->setCurrentIndex(index);
    }
}

void MainWindow::cmdOpen_Click() {
    endQuestion();
    if (!settlePending(Losing::ByOpening)) {
        return;
    }
    // A new dialog object for every press: nothing of an earlier dialog carries over.
    clsCommonDialog dialog(dialogs_);
    const std::int32_t flags = kOpenDialogFlags;
    loadTelling(dialog.ShowOpen(this, kOpenDialogTitle, QString(), kOpenDialogFilter, flags));
}

void MainWindow::cmdSave_Click() {
    endQuestion();
    save();
}

void MainWindow::endQuestion() {
    if (question_ != nullptr) {
        question_->reject();
        question_ = nullptr;
    }
}

void MainWindow::offerSave() {
    findChild<QPushButton*>(ToQString(kSaveButton.name))->setEnabled(!ImagePath.empty());
}

bool MainWindow::save() {
    try {
        SaveResult result = SaveRoster(ImagePath, lists_, loaded_, SaveMode::UnlessChanged);
        if (result.status == SaveStatus::ChangedOnDisk && askSaveAnyway(result)) {
            result = SaveRoster(ImagePath, lists_, loaded_, SaveMode::Overwrite);
        }
        showPending();
        if (result.status == SaveStatus::Failed) {
            showProblem(result.message, result.advice, result.details);
        }
        // Nothing else on the screen changes, so a screen reader hears how it went; a refusal
        // or a failure comes as a box of its own.
        if (result.saved() || result.status == SaveStatus::NothingToSave) {
            announcer_->announce(ToQString(result.message));
        }
        return result.saved();
    } catch (const std::exception& error) {
        showPending();
        showProblem(UnexpectedTrouble(true, error.what()), {}, {});
        return false;
    }
}

namespace {

// Message boxes show what the core reports, which includes file names: as plain text, never as
// markup, in every label of the box.
void ShowAsPlainText(QMessageBox& box, const std::string& message, const std::string& advice,
                     const std::string& details) {
    box.setTextFormat(Qt::PlainText);
    box.setText(ToQString(message));
    box.setInformativeText(ToQString(advice));
    box.setDetailedText(ToQString(details));
    for (QLabel* label : box.findChildren<QLabel*>()) {
        label->setTextFormat(Qt::PlainText);
    }
}

} // namespace

void MainWindow::showProblem(const std::string& message, const std::string& advice,
                             const std::string& details) {
    QMessageBox box(QMessageBox::Critical, kCaption, QString(), QMessageBox::Ok, this);
    ShowAsPlainText(box, message, advice, details);
    box.exec();
}

bool MainWindow::askSaveAnyway(const SaveResult& changed) {
    QMessageBox box(QMessageBox::Warning, kCaption, QString(), QMessageBox::NoButton, this);
    ShowAsPlainText(box, changed.message, changed.advice, changed.details);
    QPushButton* overwrite =
        box.addButton(ToQString(SaveAnywayCaption()), QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == overwrite;
}

LoadResult MainWindow::load(const std::string& path) {
    LoadResult result = [&] {
        const QScopedValueRollback<bool> loading(loading_, true);
        return LoadRoster(path, ImagePath, lists_, loaded_);
    }();
    offerSave();
    showPending();
    return result;
}

void MainWindow::listChanged() {
    sessionSettled_ = false;
    if (!loading_) {
        showPending();
    }
}

void MainWindow::showPending() {
    setWindowModified(PendingChanges(lists_, loaded_) > 0);
}

bool MainWindow::settlePending(Losing how) {
    const std::size_t pending = PendingChanges(lists_, loaded_);
    if (pending == 0) {
        return true;
    }
    // A box over a minimized window would be hidden with it.
    if (isMinimized()) {
        showNormal();
    }
    const LossWords asked = QuestionBeforeLosing(how == Losing::ByClosing, ImagePath, pending);
    QMessageBox box(QMessageBox::Warning, kCaption, QString(), QMessageBox::NoButton, this);
    ShowAsPlainText(box, asked.question, asked.consequence, {});
    QPushButton* saveFirst = box.addButton(QStringLiteral("Save"), QMessageBox::AcceptRole);
    QPushButton* lose = box.addButton(ToQString(asked.loseButton), QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(saveFirst);
    box.setEscapeButton(cancel);
    question_ = &box;
    box.exec();
    question_ = nullptr;
    endAskedWhileAsking_.reset();
    if (box.clickedButton() == lose) {
        return true;
    }
    return box.clickedButton() == saveFirst && save();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // A close asked for again while the question is up (a held Alt+F4, the window manager
    // asking twice) is already being asked about.
    if (question_ != nullptr) {
        event->ignore();
        question_->activateWindow();
        return;
    }
    // The ending session quits the program, which closes the window once more: what the person
    // answered for the session holds then. A close by the person (from the window system, so
    // spontaneous) always asks, also after a session save that did not end the session.
    const bool endingSession = sessionSettled_ && !event->spontaneous();
    if (endingSession || settlePending(Losing::ByClosing)) {
        event->accept();
    } else {
        event->ignore();
    }
}

void MainWindow::commitData(QSessionManager& manager) {
    // Asking for interaction makes the session wait for this program: only when it has to.
    if (PendingChanges(lists_, loaded_) == 0 || !manager.allowsInteraction()) {
        return;
    }
    sessionSettled_ = settlePending(Losing::ByClosing);
    if (!sessionSettled_) {
        manager.cancel();
    }
    manager.release();
}

void MainWindow::loadTelling(const QString& chosen) {
    try {
        const LoadResult result = load(ImagePathFromDialog(chosen));
        if (result.status == LoadStatus::Refused) {
            showProblem(result.message, result.advice, result.details);
        }
    } catch (const std::exception& error) {
        showProblem(UnexpectedTrouble(false, error.what()), {}, {});
    }
}

void MainWindow::openImage(const QString& path) {
    endQuestion();
    if (settlePending(Losing::ByOpening)) {
        loadTelling(path);
    }
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    TakeDrag(*event);
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
    TakeDrag(*event);
}

void MainWindow::dropEvent(QDropEvent* event) {
    if (!TakeDrag(*event)) {
        return;
    }
    const DroppedImage dropped = ReadDrop(*event->mimeData());
    if (dropped.path.isEmpty()) {
        // The source learns that nothing was taken.
        event->setDropAction(Qt::IgnoreAction);
        event->ignore();
    }
    // The source waits for the drop to end, on some systems with its window held: the question
    // and the messages come after.
    QMetaObject::invokeMethod(
        this,
        [this, dropped] {
            if (dropped.path.isEmpty()) {
                showProblem(kDropWhat.toStdString(), dropped.refusal.toStdString(), {});
            } else {
                openImage(dropped.path);
            }
        },
        Qt::QueuedConnection);
}

void MainWindow::followEndRequests(const EndRequests& requests) {
    // Queued: the question it may put up runs in the event loop, not inside the notice.
    connect(&requests, &EndRequests::requested, this, &MainWindow::endRequested,
            Qt::QueuedConnection);
}

void MainWindow::endRequested(EndRequests::Kind kind) {
    if (question_ != nullptr) {
        if (endAskedWhileAsking_ == kind) {
            emit endNowAsked(kind);
            return;
        }
        endAskedWhileAsking_ = kind;
        question_->activateWindow();
        return;
    }
    // Another box (the open-file dialog, a message) would keep the program alive behind a
    // closed window: it goes first, and the request comes back once it has.
    if (QWidget* modal = QApplication::activeModalWidget(); modal != nullptr && modal->close()) {
        QMetaObject::invokeMethod(
            this, [this, kind] { endRequested(kind); }, Qt::QueuedConnection);
        return;
    }
    endAskedWhileAsking_ = kind;
    // The person is asked in front of whatever they were doing.
    if (isMinimized()) {
        showNormal();
    }
    raise();
    activateWindow();
    close();
    endAskedWhileAsking_.reset();
}

} // namespace kelvarin
