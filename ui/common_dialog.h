#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>

class QTemporaryDir;
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
// Qt's dialog keeps its last folder and history in the user's Qt settings and starts the next
// run's dialog there; this editor keeps no state between runs, so those settings go to a
// folder of the backend's own that is removed when the program ends.
class QtFileDialogBackend final : public FileDialogBackend {
  public:
    QtFileDialogBackend();
    ~QtFileDialogBackend() override;
    std::optional<FileDialogChoice> choose(const FileDialogRequest& request) override;

  private:
    std::unique_ptr<QTemporaryDir> forgottenSettings_;
};

// Dialog flags as callers of the open and save dialogs have always passed them.
inline constexpr std::int32_t OFN_OVERWRITEPROMPT = 0x2;
inline constexpr std::int32_t OFN_HIDEREADONLY = 0x4;
inline constexpr std::int32_t OFN_PATHMUSTEXIST = 0x800;
inline constexpr std::int32_t OFN_FILEMUSTEXIST = 0x1000;

// "description|pattern|description|pattern" to the dialog's name filters, one per pair:
// "NDS ROMs (*.nds)|*.nds" gives "NDS ROMs (*.nds)". A description that does not already end
// in its pattern in parentheses gets it appended, ";" between patterns becomes a space, and a
// description without a pattern (a trailing "|" or an empty filter) adds nothing.
QStringList NameFiltersFromPairs(const QString& Filter);

// Asks the user for a file. One object serves one task: it remembers the last path chosen
// through it and starts its next dialog there, on the filter last used.
class clsCommonDialog {
  public:
    explicit clsCommonDialog(FileDialogBackend& platform) : platform_(platform) {}

    // The chosen file's full path, or empty text when the user cancelled. An empty InitDir
    // means LastPath. `flags` is only read.
    QString ShowOpen(QWidget* hwnd, const QString& Title, const QString& InitDir,
                     const QString& Filter, const std::int32_t& flags);
    QString ShowSave(QWidget* hwnd, const QString& Title, const QString& InitDir,
                     const QString& Filter, const std::int32_t& flags);

    // 1-based number of the filter in use when a file was last chosen; 0 before that.
    [[nodiscard]] std::int32_t FilterIndex() const { return LastFilterIndex; }

  private:
    QString show(FileDialogRequest::Purpose purpose, QWidget* hwnd, const QString& Title,
                 const QString& InitDir, const QString& Filter, std::int32_t flags);

    FileDialogBackend& platform_;
    QString LastPath;
    std::int32_t LastFilterIndex = 0;
    std::int32_t filterInUse_ = 0; // where the next dialog of this object starts
};

} // namespace kelvarin
