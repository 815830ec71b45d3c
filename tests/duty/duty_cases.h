#pragma once

#include "duty/duty_input.h"

#include <QStringEncoder>

#include <array>
#include <cstdint>

// An identification block holding the four nameplate fields the duty
// estimate reads (1.6 rated load, 1.7 group, 1.8 service life, 1.9 date of
// commissioning), cp1251, padded with zero bytes; the rest unprogrammed.
inline IdentBytes NameplateIdent(const QString& ratedLoad, const QString& group,
                                 const QString& life, const QString& commissioned) {
    IdentBytes ident;
    ident.fill(0xFF);
    const auto put = [&ident](int first, int width, const QString& text) {
        QStringEncoder encoder("windows-1251");
        const QByteArray bytes = encoder(text);
        for (int i = 0; i < width; ++i)
            ident[std::size_t(first - 1 + i)] =
                i < bytes.size() ? static_cast<std::uint8_t>(bytes[i]) : 0x00;
    };
    put(121, 20, ratedLoad);
    put(141, 10, group);
    put(151, 10, life);
    put(161, 10, commissioned);
    return ident;
}
