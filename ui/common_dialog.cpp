#include "ui/common_dialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QSettings>
#include <QTemporaryDir>

namespace kelvarin {

namespace {

QString PatternsInQtForm(const QString& patterns) {
    QString spaced = patterns;
    spaced.replace(QLatin1Char(';'), QLatin1Char(' '));
    return spaced.simplified();
}

} // namespace

QStringList NameFiltersFromPairs(const QString& Filter) {
    const QStringList parts = Filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts.at(i).trimmed();
        const QString patterns = PatternsInQtForm(parts.at(i + 1));
        if (patterns.isEmpty()) {
            continue;
        }
        const QString shownPatterns = QLatin1Char('(') + patterns + QLatin1Char(')');
        if (description.isEmpty()) {
            filters.append(shownPatterns);
        } else if (description.endsWith(shownPatterns)) {
            filters.append(description);
        } else {
            filters.append(description + QLatin1Char(' ') + shownPatterns);
        }
    }
    return filters;
}

QString clsCommonDialog::ShowOpen(QWidget* hwnd, const QString& Title, const QString& InitDir,
                                  const QString& Filter, const std::int32_t& flags) {
    return show(FileDialogRequest::Purpose::Open, hwnd, Title, InitDir, Filter, flags);
}

QString clsCommonDialog::ShowSave(QWidget* hwnd, const QString& Title, const QString& InitDir,
                                  const QString& Filter, const std::int32_t& flags) {
    return show(FileDialogRequest::Purpose::Save, hwnd, Title, InitDir, Filter, flags);
}

QString clsCommonDialog::show(FileDialogRequest::Purpose purpose, QWidget* hwnd,
                              const QString& Title, const QString& InitDir, const QString& Filter,
                              std::int32_t flags) {
    FileDialogRequest request;
    request.purpose = purpose;
    request.owner = hwnd;
    request.title = Title;
    request.startPath = InitDir.isEmpty() ? LastPath : InitDir;
    request.nameFilters = NameFiltersFromPairs(Filter);
    request.startFilter = filterInUse_;
    request.fileMustExist = (flags & OFN_FILEMUSTEXIST) != 0;
    request.confirmOverwrite = (flags & OFN_OVERWRITEPROMPT) != 0;
    // OFN_PATHMUSTEXIST is implied by the file rule or checked by the dialog itself, and Qt's
    // dialogs have no read-only box for OFN_HIDEREADONLY to hide.

    const std::optional<FileDialogChoice> choice = platform_.choose(request);
    if (!choice || choice->path.isEmpty()) {
        return {};
    }
    filterInUse_ = choice->filter;
    LastPath = choice->path;
    LastFilterIndex = choice->filter;
    return choice->path;
}

namespace {

// Qt's file dialog keeps its last folder and history in the settings group "FileDialog" of the
// organisation "QtProject", which every Qt program shares.
class QtDialogSettingsKept {
  public:
    QtDialogSettingsKept() {
        QSettings settings(QSettings::UserScope, QStringLiteral("QtProject"));
        existed_ = settings.childGroups().contains(kGroup);
        settings.beginGroup(kGroup);
        for (const QString& key : settings.allKeys()) {
            before_.insert(key, settings.value(key));
        }
    }
    ~QtDialogSettingsKept() {
        QSettings settings(QSettings::UserScope, QStringLiteral("QtProject"));
        settings.remove(kGroup);
        if (existed_) {
            settings.beginGroup(kGroup);
            for (auto value = before_.cbegin(); value != before_.cend(); ++value) {
                settings.setValue(value.key(), value.value());
            }
            settings.endGroup();
        }
    }
    QtDialogSettingsKept(const QtDialogSettingsKept&) = delete;
    QtDialogSettingsKept& operator=(const QtDialogSettingsKept&) = delete;

  private:
    static inline const QString kGroup = QStringLiteral("FileDialog");
    bool existed_ = false;
    QVariantMap before_;
};

} // namespace

QtFileDialogBackend::QtFileDialogBackend() = default;
QtFileDialogBackend::~QtFileDialogBackend() = default;

std::optional<FileDialogChoice> QtFileDialogBackend::choose(const FileDialogRequest& request) {
    if (!forgottenSettings_) {
        // Settings kept in files go to a temporary folder that vanishes with the process. The
        // program has no settings of its own, so nothing else is redirected. Without a
        // temporary folder they stay where Qt keeps them: an empty path would send them to the
        // root folder instead.
        forgottenSettings_ = std::make_unique<QTemporaryDir>();
        if (forgottenSettings_->isValid()) {
            for (const auto format : {QSettings::NativeFormat, QSettings::IniFormat}) {
                QSettings::setPath(format, QSettings::UserScope, forgottenSettings_->path());
            }
        }
    }
    // Where the settings cannot be redirected (the registry), they are put back as they were
    // once the dialog is gone: it writes them when it is destroyed, so this outlives it.
    const QtDialogSettingsKept kept;
    QFileDialog dialog(request.owner, request.title, request.startPath);
    const bool opening = request.purpose == FileDialogRequest::Purpose::Open;
    dialog.setAcceptMode(opening ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(opening && request.fileMustExist ? QFileDialog::ExistingFile
                                                        : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
    if (!request.nameFilters.isEmpty()) {
        dialog.setNameFilters(request.nameFilters);
        if (request.startFilter >= 1 && request.startFilter <= request.nameFilters.size()) {
            dialog.selectNameFilter(request.nameFilters.at(request.startFilter - 1));
        }
    }
    // A path typed with its completions on show leaves their pop-up open as the dialog closes.
    // While a pop-up is open Qt takes the main window's activation for a stray one and drops
    // it: the window keeps the keyboard but is never active again, so a screen reader hears
    // nothing of the keys that follow.
    QObject::connect(&dialog, &QDialog::finished, [] {
        QWidget* popup = QApplication::activePopupWidget();
        while (popup != nullptr && popup->close()) {
            popup = QApplication::activePopupWidget();
        }
    });
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    const int filterPosition =
        static_cast<int>(request.nameFilters.indexOf(dialog.selectedNameFilter()));
    return FileDialogChoice{chosen.constFirst(), filterPosition + 1};
}

} // namespace kelvarin
