#include "ui/artwork.h"

#include <QPainter>
#include <QStyle>
#include <QtMath>

#include <algorithm>
#include <array>
#include <cmath>

namespace kelvarin {

namespace {

// XPM is C source: each picture is an array of string literals that Qt's built-in reader takes
// as it stands, with no file to find and no image format plugin to look for at start-up.
#include "data/artwork/gym1.xpm"
#include "data/artwork/gym2.xpm"
#include "data/artwork/gym3.xpm"
#include "data/artwork/gym4.xpm"
#include "data/artwork/gym5.xpm"
#include "data/artwork/gym6.xpm"
#include "data/artwork/gym7.xpm"
#include "data/artwork/gym8.xpm"
#include "data/artwork/kelvarin.xpm"

constexpr std::array<const char* const*, 8> kGymPictures{gym1, gym2, gym3, gym4,
                                                         gym5, gym6, gym7, gym8};

constexpr std::array kIconMultiples{2, 3, 4};

QPixmap Enlarged(const QPixmap& art, int times) {
    return art.scaled(art.size() * times, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

} // namespace

QIcon ApplicationIcon(qreal scale) {
    const QPixmap art(kelvarin_icon);
    QIcon icon(art);
    if (scale <= 1.0) {
        return icon;
    }
    for (const int times : kIconMultiples) {
        icon.addPixmap(Enlarged(art, times));
    }
    return icon;
}

QPixmap GymPicture(int gym) {
    if (gym < 1 || gym > static_cast<int>(kGymPictures.size())) {
        return {};
    }
    return QPixmap(kGymPictures[static_cast<std::size_t>(gym - 1)]);
}

void PixelArtLabel::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    const QPixmap art = pixmap();
    if (art.isNull()) {
        return;
    }
    const qreal ratio = devicePixelRatioF();
    const QRect room = contentsRect();
    const int times = std::max(1, std::min(qFloor(room.width() * ratio) / art.width(),
                                           qFloor(room.height() * ratio) / art.height()));
    QPixmap drawn = times == 1 ? art : Enlarged(art, times);
    drawn.setDevicePixelRatio(ratio);

    // Centred as a label centres it, then put on whole screen pixels, so that no picture pixel
    // is split between two screen pixels.
    QPainter painter(this);
    const QRect centred =
        QStyle::alignedRect(layoutDirection(), Qt::AlignCenter, art.size() * times / ratio, room);
    const QTransform toScreen = painter.deviceTransform();
    const QPointF onScreen = toScreen.map(QPointF(centred.topLeft()));
    painter.drawPixmap(
        toScreen.inverted().map(QPointF(std::round(onScreen.x()), std::round(onScreen.y()))),
        drawn);
}

} // namespace kelvarin
