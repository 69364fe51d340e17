// Build-time helper: writes the application icon as PNG files for the freedesktop icon theme.
// Usage: kelvarin_icon_export <icon.xpm> <output folder>
// Writes <output folder>/<N>x<N>/apps/kelvarin.png for every installed size.

#include <QDir>
#include <QImage>
#include <QString>

#include <cstdio>

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <icon.xpm> <output folder>\n", argv[0]);
        return 2;
    }
    const QImage icon(QString::fromLocal8Bit(argv[1]));
    if (icon.isNull()) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    const QDir output(QString::fromLocal8Bit(argv[2]));
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        // Whole multiples keep the pixel art crisp; other sizes are smoothed.
        const bool wholeMultiple = size % icon.width() == 0;
        const QImage scaled =
            icon.scaled(size, size, Qt::KeepAspectRatio,
                        wholeMultiple ? Qt::FastTransformation : Qt::SmoothTransformation);
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        if (!output.mkpath(folder) ||
            !scaled.save(output.filePath(folder + QStringLiteral("/kelvarin.png")), "PNG")) {
            std::fprintf(stderr, "cannot write the %dx%d icon\n", size, size);
            return 1;
        }
    }
    return 0;
}
