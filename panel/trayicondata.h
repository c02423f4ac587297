#pragma once

#include <QByteArray>

namespace blinds {

// The tray icon as an ICO file: one 16 x 16 image, 16 colours (4 bits per
// pixel) with a 1-bit transparency mask, 318 bytes. Built from the pixel
// table in trayicondata.cpp so that the artwork lives in the source.
QByteArray trayIconIco();

constexpr int TrayIconIcoSize = 318;

} // namespace blinds
