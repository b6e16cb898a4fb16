#pragma once

#include <QFont>

// Forms, grids and status bars were laid out in twips for an 8-point font; at a larger desktop
// font the designed widths cut most texts short.
namespace DesignFont {

constexpr qreal kPointSize = 8;

// `font` at no more than the design point size.
inline QFont capped(QFont font) {
    if (font.pointSizeF() > kPointSize)
        font.setPointSizeF(kPointSize);
    return font;
}

} // namespace DesignFont
