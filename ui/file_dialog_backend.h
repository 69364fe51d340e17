#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

namespace kelvarin {

// Everything a file dialog is asked to do, already in the platform's terms.
struct FileDialogRequest {
    enum class Purpose { Open, Save };

    Purpose purpose = Purpose::Open;
    QWidget* owner = nullptr;
    QString title;
    QString startPath; // folder, or file to select in its folder; empty lets the platform choose
    QStringList nameFilters; // "NDS ROMs (*.nds)"; empty shows every file
    int startFilter = 0;     // 1-based number of the filter to start on; 0 for the first
    bool fileMustExist = false;
    bool confirmOverwrite = false;
};

struct FileDialogChoice {
    QString path;
    int filter = 0; // 1-based number of the filter in use when the user chose
};

// The seam between the editor's dialog layer and the platform's modal file dialog, so that a
// stand-in can answer instead of a person.
class FileDialogBackend {
  public:
    virtual ~FileDialogBackend() = default;
    // Shows the dialog and waits; nullopt when the user cancelled or closed it.
    virtual std::optional<FileDialogChoice> choose(const FileDialogRequest& request) = 0;
};

// The platform's own dialog through QFileDialog (the desktop's native one where there is one).
class QtFileDialogBackend final : public FileDialogBackend {
  public:
    std::optional<FileDialogChoice> choose(const FileDialogRequest& request) override;
};

} // namespace kelvarin
