#pragma once

#include <QByteArray>
#include <QString>
#include <QStringDecoder>

#include <cstdint>
#include <span>

// The identification block's text: 360 bytes typed in by whoever programmed
// the recorder, in cp1251. Every reader of its fields (the files' heading,
// the nameplate, the archive's and the fleet's names) reads them here.

// Positions first..first+width-1 (1-based) as exactly width characters: a
// control byte (0x00-0x1F, 0x7F) or an unprogrammed 0xFF reads as a blank, as
// does a position past the block, every other byte as its cp1251 character.
// Control bytes would break the lines and columns of every file the block
// heads. Empty for a width below 1.
[[nodiscard]] inline QString IdentText(std::span<const std::uint8_t> ident, int first, int width) {
    if (width < 1)
        return QString();
    QByteArray bytes(width, ' ');
    for (int i = 0; i < width; ++i) {
        const qsizetype index = qsizetype(first) - 1 + i;
        if (index < 0 || index >= qsizetype(ident.size()))
            continue;
        const std::uint8_t b = ident[std::size_t(index)];
        if (b >= 0x20 && b != 0x7F && b != 0xFF)
            bytes[i] = char(b);
    }
    QStringDecoder decoder("windows-1251");
    return decoder(bytes);
}

[[nodiscard]] inline QString IdentText(const QByteArray& ident, int first, int width) {
    return IdentText(
        {reinterpret_cast<const std::uint8_t*>(ident.constData()), std::size_t(ident.size())},
        first, width);
}
