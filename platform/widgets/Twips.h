#pragma once

#include <QPaintDevice>
#include <QRect>
#include <cmath>

// Lengths on screen are given in twips (1/1440 inch), converted with the device's logical DPI:
// 15 twips a pixel at 96 DPI.
namespace Twips {

inline int toPixelsX(const QPaintDevice *device, int twips) {
    return static_cast<int>(std::lround(twips * device->logicalDpiX() / 1440.0));
}
inline int toPixelsY(const QPaintDevice *device, int twips) {
    return static_cast<int>(std::lround(twips * device->logicalDpiY() / 1440.0));
}
inline int fromPixelsX(const QPaintDevice *device, int pixels) {
    return static_cast<int>(std::lround(pixels * 1440.0 / device->logicalDpiX()));
}
inline int fromPixelsY(const QPaintDevice *device, int pixels) {
    return static_cast<int>(std::lround(pixels * 1440.0 / device->logicalDpiY()));
}
// A rectangle given as left, top, width, height in twips.
inline QRect toPixels(const QPaintDevice *device, int left, int top, int width, int height) {
    return {toPixelsX(device, left), toPixelsY(device, top), toPixelsX(device, width),
            toPixelsY(device, height)};
}

} // namespace Twips
