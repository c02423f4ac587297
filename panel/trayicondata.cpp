#include "trayicondata.h"

#include <QtEndian>

#include <array>

namespace blinds {

namespace {

// The 16-colour palette, as 0xRRGGBB, in the usual order of 4-bit bitmaps.
constexpr std::array<quint32, 16> palette = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

// A headrail with five vertical vanes hanging from it and a red pull cord.
// '.' is transparent, a hexadecimal digit is a palette index. Top row first.
constexpr const char *pixels[16] = {
    "................", "8888888888888888", "8777777777777778", "8888888888888888",
    "6E.6E.6E.6E.6E.9", "6E.6E.6E.6E.6E.9", "6E.6E.6E.6E.6E.9", "6E.6E.6E.6E.6E.9",
    "6E.6E.6E.6E.6E.9", "6E.6E.6E.6E.6E.9", "6E.6E.6E.6E.6E.9", "6E.6E.6E.6E.6E.9",
    "6E.6E.6E.6E.6E99", "6E.6E.6E.6E.6E99", "6E.6E.6E.6E.6E..", "66.66.66.66.66..",
};

int paletteIndex(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1; // transparent
}

void put16(QByteArray &out, quint16 v)
{
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

void put32(QByteArray &out, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

} // namespace

QByteArray trayIconIco()
{
    constexpr int size = 16;
    constexpr int xorBytes = size * size / 2; // 4 bits a pixel, rows already 32-bit aligned
    constexpr int andBytes = size * 4;        // 16 bits a row, padded to 32
    constexpr int headerBytes = 6 + 16;
    constexpr int bitmapBytes = 40 + 16 * 4 + xorBytes + andBytes;

    QByteArray ico;
    ico.reserve(headerBytes + bitmapBytes);
    // Icon directory with its single entry.
    put16(ico, 0);
    put16(ico, 1);
    put16(ico, 1);
    ico.append(char(size));
    ico.append(char(size));
    ico.append(char(16)); // colours
    ico.append(char(0));
    put16(ico, 1); // planes
    put16(ico, 4); // bits per pixel
    put32(ico, bitmapBytes);
    put32(ico, headerBytes);
    // Bitmap header: the height counts the colour image and the mask.
    put32(ico, 40);
    put32(ico, size);
    put32(ico, size * 2);
    put16(ico, 1);
    put16(ico, 4);
    put32(ico, 0);
    put32(ico, xorBytes + andBytes);
    put32(ico, 0);
    put32(ico, 0);
    put32(ico, 16);
    put32(ico, 0);
    for (quint32 rgb : palette) {
        ico.append(char(rgb & 0xFF));
        ico.append(char((rgb >> 8) & 0xFF));
        ico.append(char((rgb >> 16) & 0xFF));
        ico.append(char(0));
    }
    // Both images are stored bottom row first.
    for (int y = size - 1; y >= 0; --y) {
        for (int x = 0; x < size; x += 2) {
            const int hi = qMax(0, paletteIndex(pixels[y][x]));
            const int lo = qMax(0, paletteIndex(pixels[y][x + 1]));
            ico.append(char(hi << 4 | lo));
        }
    }
    for (int y = size - 1; y >= 0; --y) {
        quint16 mask = 0;
        for (int x = 0; x < size; ++x) {
            if (paletteIndex(pixels[y][x]) < 0)
                mask |= quint16(0x8000 >> x);
        }
        ico.append(char(mask >> 8));
        ico.append(char(mask & 0xFF));
        ico.append(char(0));
        ico.append(char(0));
    }
    return ico;
}

} // namespace blinds
