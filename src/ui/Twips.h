#pragma once

#include <QRect>

namespace torvanelo {

// The windows are laid out in twips, as their originals were: 15 twips make
// a pixel at 96 dpi, rounded to the nearest pixel.
constexpr int px(int twips) {
    return (twips + 7) / 15;
}

inline QRect twips(int left, int top, int width, int height) {
    return QRect(px(left), px(top), px(width), px(height));
}

} // namespace torvanelo
