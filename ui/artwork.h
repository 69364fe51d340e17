#pragma once

#include <QIcon>
#include <QLabel>
#include <QPixmap>

namespace kelvarin {

// The program's own artwork, built into the program from data/artwork/.

// 32 x 32, a round yellow creature, for a screen at `scale` (its device pixel ratio). On a scaled
// screen also at twice, three and four times its size, for title bars and task bars, which would
// otherwise smooth it up from 32 pixels and blur it. An unscaled screen's title bars show it no
// larger than 32 pixels, and every size given is sent to the window system and read by the
// window manager before the window is first shown.
QIcon ApplicationIcon(qreal scale);
QPixmap GymPicture(int gym); // 21 x 21, the head of the gym's leader; gym 1 to 8

// A picture box for pixel art. On a screen that scales the window, or in a window grown for a
// larger font, smoothing or stretching by a fraction would blur the art or make its pixels
// uneven, so the picture is drawn in whole screen pixels per picture pixel, without smoothing:
// as many as the box holds, so twice as large at 200 %, as drawn at 125 % and 150 %.
class PixelArtLabel final : public QLabel {
  public:
    using QLabel::QLabel;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace kelvarin
