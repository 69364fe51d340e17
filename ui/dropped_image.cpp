#include "ui/dropped_image.h"

#include "roster/roster.h"
#include "ui/window_layout.h"

#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace kelvarin {

namespace {

// The name of what was dropped, shown as every sentence shows a file's name.
QString Named(const QString& path) {
    return ToQString(NameInSentence(path.toStdString()));
}

} // namespace

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
                QStringLiteral("%1 is not a file on this computer.")
                    .arg(Named(url.toDisplayString(QUrl::RemovePassword)))};
    }
    const QFileInfo file(QDir::cleanPath(url.toLocalFile()));
    if (file.isDir()) {
        return {{}, QStringLiteral("%1 is a folder.").arg(Named(file.filePath()))};
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
