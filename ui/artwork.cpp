#include "ui/artwork.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QImage>
#include <QResource>
#include <QString>

#include <vector>

namespace kelvarin {

namespace {

// The artwork is kept as XPM, which is C source: the image is the sequence of its string
// literals. Handing those to Qt's XPM reader directly, instead of a file name, spares the
// start-up a search through every image format plugin for one that reads the file.
QImage ImageFromXpmResource(const QString& path) {
    const QByteArray source = QResource(path).uncompressedData();
    QByteArrayList lines;
    qsizetype open = source.indexOf('"');
    while (open >= 0) {
        const qsizetype close = source.indexOf('"', open + 1);
        if (close < 0) {
            break;
        }
        lines.append(source.mid(open + 1, close - open - 1));
        open = source.indexOf('"', close + 1);
    }
    std::vector<const char*> xpm;
    xpm.reserve(static_cast<std::size_t>(lines.size()));
    for (const QByteArray& line : lines) {
        xpm.push_back(line.constData());
    }
    return xpm.empty() ? QImage() : QImage(xpm.data());
}

} // namespace

QIcon ApplicationIcon() {
    return QIcon(
        QPixmap::fromImage(ImageFromXpmResource(QStringLiteral(":/kelvarin/kelvarin.xpm"))));
}

QPixmap GymPicture(int gym) {
    return QPixmap::fromImage(
        ImageFromXpmResource(QStringLiteral(":/kelvarin/gym%1.xpm").arg(gym)));
}

} // namespace kelvarin
