#include "ui/artwork.h"

#include <array>

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

} // namespace

QIcon ApplicationIcon() {
    return QIcon(QPixmap(kelvarin_icon));
}

QPixmap GymPicture(int gym) {
    if (gym < 1 || gym > static_cast<int>(kGymPictures.size())) {
        return {};
    }
    return QPixmap(kGymPictures[static_cast<std::size_t>(gym - 1)]);
}

} // namespace kelvarin
