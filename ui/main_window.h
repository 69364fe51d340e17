#pragma once

#include "ui/combo_list_selection.h"
#include "ui/file_dialog_backend.h"

#include <QWidget>

#include <memory>
#include <string>

class QAbstractItemModel;
class QComboBox;
class QGroupBox;
class QPushButton;

namespace kelvarin {

class FixedListModels;
struct GymFrameLayout;

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

    // The image that Save writes to; empty until an image was loaded.
    [[nodiscard]] const std::string& imagePath() const { return ImagePath; }
    // The 46 lists tied to the image's fields, by control name.
    [[nodiscard]] const ComboListSelection& boundLists() const { return lists_; }

  private:
    void cmdOpen_Click();
    void cmdSave_Click();
    void showError(const QString& message);

    QPushButton* addButton(const char* name, const QString& caption, const QRect& twips);
    void addGymFrame(const GymFrameLayout& gym);
    QComboBox* addList(QGroupBox* frame, std::string_view name, const QRect& twips,
                       QAbstractItemModel* entries, const QString& accessibleName);
    void addCredits();

    FileDialogBackend& dialogs_;
    std::unique_ptr<FixedListModels> models_;
    ComboListSelection lists_;
    std::string ImagePath;
    ImageRecord record_;
};

} // namespace kelvarin
