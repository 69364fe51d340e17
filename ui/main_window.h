#pragma once

#include "roster/roster.h"
#include "ui/common_dialog.h"
#include "ui/end_requests.h"
#include "ui/window_layout.h"

#include <QFont>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>
#include <string>

class QAbstractItemModel;
class QCloseEvent;
class QComboBox;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QEvent;
class QGroupBox;
class QMessageBox;
class QPushButton;
class QScrollArea;
class QSessionManager;
class QShowEvent;

namespace kelvarin {

class Announcer;
class FixedListModels;
struct GymFrameLayout;
struct PlacedText;
struct WindowFit;

// Gives the window's lists and buttons the accessible interfaces a screen reader needs. Qt picks
// a widget's interface by its class name and keeps the first one it makes: called once at
// start-up, before any window is made.
void InstallAccessibleInterfaces();

// The editor: eight gym frames of drop-down lists between an Open and a Save button. Its
// object name is the form's, "cmdOpen"; the Open button inside it carries the same name.
class MainWindow final : public QWidget {
    Q_OBJECT

  public:
    // What the title bar shows; while the lists show changes that are not saved, the platform's
    // mark for a modified window stands beside it.
    inline static const QString kCaption = QStringLiteral("Kelvarin");
    inline static const QString kOpenDialogTitle = QStringLiteral("Open Pokemon NDS ROM...");
    inline static const QString kOpenDialogFilter = QStringLiteral("NDS ROMs (*.nds)|*.nds");
    static constexpr std::int32_t kOpenDialogFlags = 6148;

    // `dialogs` shows the open-file dialog of every Open press and must outlive the window.
    explicit MainWindow(FileDialogBackend& dialogs, QWidget* parent = nullptr);
    ~MainWindow() override;

    // What would lose the changes that are not saved.
    enum class Losing { ByClosing, ByOpening };

    // Opens the image at `path` as Open opens the file chosen in its dialog, after the same
    // question when changes are not saved: a file named on the command line, or dropped.
    void openImage(const QString& path);

    // Takes the requests to end that come from outside (signals, the console) the way the
    // window's close button is taken: at once with nothing pending, otherwise after asking. The
    // same request made again while it asks is a person insisting: endNowAsked.
    void followEndRequests(const EndRequests& requests);

  signals:
    void endNowAsked(kelvarin::EndRequests::Kind kind);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // A new application font, such as the person's from the desktop's settings, lays the
    // window out again; selections and changes stay.
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // The window fits itself to its screen as it is shown, and whenever the screen changes.
    void showEvent(QShowEvent* event) override;
    // One file dropped on the window opens as by Open. A drag is taken when it carries files;
    // a drop of anything but one file is refused with what the window takes.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    // The passes reach the lists by their control names, as the window's children.
    class NamedLists final : public ListSelection {
      public:
        explicit NamedLists(const QWidget& window) : window_(window) {}
        [[nodiscard]] std::int16_t selectedIndex(std::string_view control) const override;
        void setSelectedIndex(std::string_view control, std::int16_t index) override;

      private:
        [[nodiscard]] QComboBox* find(std::string_view control) const;
        const QWidget& window_;
    };

    void cmdOpen_Click();
    void cmdSave_Click();
    // What the core said, as plain text: its first line and the one thing to do in view, any
    // per-field list folded into the box's details so that the box fits a small screen.
    void showProblem(const std::string& message, const std::string& advice,
                     const std::string& details);
    // The file changed on disk since it was loaded or saved: true when the user chose to
    // overwrite it all the same.
    bool askSaveAnyway(const SaveResult& changed);

    // Runs the load pass; what is pending is counted once every list shows the new image.
    LoadResult load(const std::string& path);
    // Runs the save pass as the Save button does; true when the image now holds what is shown.
    bool save();
    void listChanged();
    // Marks the title while any list shows a value that the image does not hold.
    void showPending();
    // True when going on loses nothing that is not saved: nothing was pending, the person had it
    // saved, or chose to lose it. Asks when something is pending.
    bool settlePending(Losing how);
    // The session is ending (logging out, shutting down): asks as closing does, where the
    // session lets a program ask, and stops the ending when the person cancels or a save fails.
    void commitData(QSessionManager& manager);
    void endRequested(EndRequests::Kind kind);
    // A save or load made while a question about the changes is up (through assistive
    // technology, which modality does not stop) answers it: the question ends as cancelled.
    void endQuestion();
    // Save is there to press once an image is open.
    void offerSave();

    // Takes the font of the application and the layout's scale that goes with it.
    WindowFit fitFont();
    QPushButton* addButton(const PlacedText& placed);
    void addGymFrame(const GymFrameLayout& gym);
    QComboBox* addList(QGroupBox* frame, std::string_view name, const QRect& twips,
                       QAbstractItemModel* entries, const QString& fieldName);
    void addCredits();
    // Loads what was chosen, dropped or named, and tells why when the file is refused.
    void loadTelling(const QString& chosen);

    FileDialogBackend& dialogs_;
    std::unique_ptr<FixedListModels> models_;
    QScrollArea* view_ = nullptr; // holds every control
    PlacedControls placed_;
    QFont fittedFor_; // the application's font that the window's font and scale are for
    bool followsScreen_ = false;
    NamedLists lists_{*this};
    std::string ImagePath;
    ImageRecord loaded_; // what the file was at the last load or save, for the next save

    Announcer* announcer_ = nullptr; // tells a screen reader how a save went
    bool loading_ = false;           // a load is setting the lists one by one
    // The ending session has had its answer: when it quits the program, the window closes
    // without asking again, unless a list changed since.
    bool sessionSettled_ = false;
    QPointer<QMessageBox> question_; // the question about the changes, while it is up
    // A request to end that came while the question was up, or that put it up.
    std::optional<EndRequests::Kind> endAskedWhileAsking_;
};

} // namespace kelvarin
