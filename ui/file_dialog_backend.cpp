#include "ui/file_dialog_backend.h"

#include <QFileDialog>

namespace kelvarin {

std::optional<FileDialogChoice> QtFileDialogBackend::choose(const FileDialogRequest& request) {
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
