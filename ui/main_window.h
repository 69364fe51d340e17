#pragma once

#include "roster/roster.h"
#include "ui/common_dialog.h"

#include <QWidget>

#include <memory>
#include <string>

class QAbstractItemModel;
class QComboBox;
class QEvent;
class QGroupBox;
class QPushButton;
class QScrollArea;
class QShowEvent;

namespace kelvarin {

class FixedListModels;
struct GymFrameLayout;
struct PlacedText;

// The editor: eight gym frames of drop-down lists between an Open and a Save button. Its
// object name is the form's, "cmdOpen"; the Open button inside it carries the same name.
class MainWindow final : public QWidget {
    Q_OBJECT

  public:
    inline static const QString kOpenDialogTitle = QStringLiteral("Open Pokemon NDS ROM...");
    inline static const QString kOpenDialogFilter = QStringLiteral("NDS ROMs (*.nds)|*.nds");
    static constexpr std::int32_t kOpenDialogFlags = 6148;

    // `dialogs` shows the open-file dialog of every Open press and must outlive the window.
    explicit MainWindow(FileDialogBackend& dialogs, QWidget* parent = nullptr);
    ~MainWindow() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The window fits itself to its screen as it is shown, and whenever the screen changes.
    void showEvent(QShowEvent* event) override;

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

    QPushButton* addButton(const PlacedText& placed);
    void addGymFrame(const GymFrameLayout& gym);
    QComboBox* addList(QGroupBox* frame, std::string_view name, const QRect& twips,
                       QAbstractItemModel* entries, const QString& fieldName);
    void addCredits();

    FileDialogBackend& dialogs_;
    std::unique_ptr<FixedListModels> models_;
    QScrollArea* view_ = nullptr; // holds every control
    bool followsScreen_ = false;
    NamedLists lists_{*this};
    std::string ImagePath;
    ImageRecord loaded_; // what the file was at the last load or save, for the next save
};

} // namespace kelvarin
