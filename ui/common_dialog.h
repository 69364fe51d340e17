#pragma once

#include "ui/file_dialog_backend.h"

#include <QString>
#include <QStringList>

#include <cstdint>

class QWidget;

namespace kelvarin {

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
    [[nodiscard]] const QString& lastPath() const { return LastPath; }

  private:
    QString show(FileDialogRequest::Purpose purpose, QWidget* hwnd, const QString& Title,
                 const QString& InitDir, const QString& Filter, std::int32_t flags);

    FileDialogBackend& platform_;
    QString LastPath;
    std::int32_t LastFilterIndex = 0;
    std::int32_t filterInUse_ = 0; // where the next dialog of this object starts
};

} // namespace kelvarin
