#include "util/PaginaCodigos.h"

#include <array>

namespace kv::PaginaCodigos {

namespace {

// 0x80..0x9F of code page 1252; the five bytes it leaves undefined keep their
// own C1 character so that they survive a round trip.
constexpr std::array<char16_t, 32> kAlto = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                            0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char ByteDe(QChar c) {
    const char16_t u = c.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return static_cast<char>(u);
    for (size_t i = 0; i < kAlto.size(); ++i)
        if (kAlto[i] == u) return static_cast<char>(0x80 + i);
    return '?';
}

}  // namespace

QString Desde1252(const QByteArray& bytes) {
    QString texto;
    texto.reserve(bytes.size());
    for (const char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        texto.append(u >= 0x80 && u < 0xA0 ? QChar(kAlto[u - 0x80]) : QChar(u));
    }
    return texto;
}

QByteArray A1252(const QString& texto) {
    QByteArray bytes;
    bytes.reserve(texto.size());
    for (qsizetype i = 0; i < texto.size(); ++i) {
        // A character outside the basic plane is one "?", not two.
        if (texto.at(i).isHighSurrogate() && i + 1 < texto.size() && texto.at(i + 1).isLowSurrogate()) ++i;
        bytes.append(ByteDe(texto.at(i)));
    }
    return bytes;
}

}  // namespace kv::PaginaCodigos
