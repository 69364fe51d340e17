#pragma once

#include <QRect>

namespace kelvarin {

// The window's geometry is designed in twips (1/1440 inch) at 15 twips per logical pixel.
inline constexpr int kTwipsPerPixel = 15;

constexpr int TwipsToPixels(int twips) {
    return twips / kTwipsPerPixel;
}

// A rectangle given as left, top, width and height in twips, in logical pixels.
constexpr QRect PixelRect(const QRect& twips) {
    return {TwipsToPixels(twips.left()), TwipsToPixels(twips.top()), TwipsToPixels(twips.width()),
            TwipsToPixels(twips.height())};
}

} // namespace kelvarin
