#pragma once

#include <QIcon>
#include <QPixmap>

namespace kelvarin {

// The program's own artwork, built into the program from data/artwork/.
QIcon ApplicationIcon();     // 32 x 32, a round yellow creature
QPixmap GymPicture(int gym); // 21 x 21, the head of the gym's leader; gym 1 to 8

} // namespace kelvarin
