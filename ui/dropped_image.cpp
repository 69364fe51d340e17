#include "ui/dropped_image.h"

#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace kelvarin {

DroppedImage ReadDrop(const QMimeData& data) {
    const QList<QUrl> urls = data.urls();
    if (urls.isEmpty()) {
        return {{}, QStringLiteral("What was dropped is not a file.")};
    }
    if (urls.size() > 1) {
        return {{},
                QStringLiteral("%1 files were dropped; Kelvarin opens one at a time.")
                    .arg(urls.size())};
    }
    const QUrl& url = urls.constFirst();
    if (!url.isLocalFile()) {
        return {{},
                QStringLiteral("\"%1\" is not a file on this computer.")
                    .arg(url.toDisplayString(QUrl::RemovePassword | QUrl::PreferLocalFile))};
    }
    const QFileInfo file(QDir::cleanPath(url.toLocalFile()));
    if (file.isDir()) {
        const QString name = file.fileName().isEmpty() ? file.filePath() : file.fileName();
        return {{}, QStringLiteral("\"%1\" is a folder.").arg(name)};
    }
    return {file.absoluteFilePath(), {}};
}

bool TakeDrag(QDropEvent& event) {
    const Qt::DropActions offered = event.possibleActions();
    const Qt::DropAction kept = offered.testFlag(Qt::CopyAction)   ? Qt::CopyAction
                                : offered.testFlag(Qt::LinkAction) ? Qt::LinkAction
                                                                   : Qt::IgnoreAction;
    if (event.mimeData() == nullptr || event.mimeData()->urls().isEmpty() ||
        kept == Qt::IgnoreAction) {
        event.ignore();
        return false;
    }
    event.setDropAction(kept);
    event.accept();
    return true;
}

} // namespace kelvarin
