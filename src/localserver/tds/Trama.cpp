#include "localserver/tds/Trama.h"

#include <algorithm>

namespace kv::tds {

Cabecera LeerCabecera(const unsigned char* b, int maximo) {
    Cabecera c;
    c.tipo = b[0];
    c.estado = b[1];
    c.largo = static_cast<std::uint16_t>((b[2] << 8) | b[3]);
    c.spid = static_cast<std::uint16_t>((b[4] << 8) | b[5]);
    c.numero = b[6];
    if (c.largo < LargoCabecera || c.largo > maximo) throw ErrorTrama("largo de paquete no válido");
    return c;
}

QByteArray ArmarPaquete(std::uint8_t tipo, std::uint8_t estado, const QByteArray& carga, std::uint8_t numero,
                        std::uint16_t spid) {
    const int largo = LargoCabecera + int(carga.size());
    QByteArray p;
    p.reserve(largo);
    p.append(char(tipo));
    p.append(char(estado));
    p.append(char((largo >> 8) & 0xff));
    p.append(char(largo & 0xff));
    p.append(char((spid >> 8) & 0xff));
    p.append(char(spid & 0xff));
    p.append(char(numero));
    p.append(char(0));
    p.append(carga);
    return p;
}

QByteArray ArmarMensaje(std::uint8_t tipo, const QByteArray& carga, int tamanoPaquete, std::uint16_t spid) {
    const int cabida = std::clamp(tamanoPaquete, PaqueteMinimo, PaqueteMaximo) - LargoCabecera;
    QByteArray salida;
    std::uint8_t numero = 1;
    int desde = 0;
    do {
        const int n = std::min<int>(cabida, int(carga.size()) - desde);
        const bool ultimo = desde + n >= carga.size();
        salida.append(ArmarPaquete(tipo, ultimo ? FinDeMensaje : 0, carga.mid(desde, n), numero++, spid));
        desde += n;
    } while (desde < carga.size());
    return salida;
}

void Lector::Exigir(qint64 n) const {
    if (n < 0 || p_ + n > d_.size()) throw ErrorTrama("mensaje truncado");
}

void Lector::Ir(int posicion) {
    if (posicion < 0 || posicion > d_.size()) throw ErrorTrama("posición fuera del mensaje");
    p_ = posicion;
}

void Lector::Saltar(int n) {
    Exigir(n);
    p_ += n;
}

std::uint8_t Lector::U8() {
    Exigir(1);
    return static_cast<std::uint8_t>(d_[p_++]);
}

std::uint16_t Lector::U16() {
    Exigir(2);
    const auto* b = reinterpret_cast<const unsigned char*>(d_.constData()) + p_;
    p_ += 2;
    return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}

std::uint16_t Lector::U16Be() {
    Exigir(2);
    const auto* b = reinterpret_cast<const unsigned char*>(d_.constData()) + p_;
    p_ += 2;
    return static_cast<std::uint16_t>((b[0] << 8) | b[1]);
}

std::uint32_t Lector::U32() {
    Exigir(4);
    const auto* b = reinterpret_cast<const unsigned char*>(d_.constData()) + p_;
    p_ += 4;
    return std::uint32_t(b[0]) | (std::uint32_t(b[1]) << 8) | (std::uint32_t(b[2]) << 16) |
           (std::uint32_t(b[3]) << 24);
}

std::uint32_t Lector::U32Be() {
    Exigir(4);
    const auto* b = reinterpret_cast<const unsigned char*>(d_.constData()) + p_;
    p_ += 4;
    return (std::uint32_t(b[0]) << 24) | (std::uint32_t(b[1]) << 16) | (std::uint32_t(b[2]) << 8) |
           std::uint32_t(b[3]);
}

std::uint64_t Lector::U64() {
    const std::uint64_t bajo = U32();
    const std::uint64_t alto = U32();
    return bajo | (alto << 32);
}

QByteArray Lector::Bytes(int n) {
    Exigir(n);
    QByteArray b = d_.mid(p_, n);
    p_ += n;
    return b;
}

QString Lector::Texto(int caracteres) {
    Exigir(qint64(caracteres) * 2);
    QString t(caracteres, Qt::Uninitialized);
    const auto* b = reinterpret_cast<const unsigned char*>(d_.constData()) + p_;
    for (int i = 0; i < caracteres; ++i) t[i] = QChar(char16_t(b[2 * i] | (b[2 * i + 1] << 8)));
    p_ += caracteres * 2;
    return t;
}

QString Lector::TextoB() { return Texto(U8()); }
QString Lector::TextoUs() { return Texto(U16()); }

void Escritor::U16(std::uint16_t v) {
    d_.append(char(v & 0xff));
    d_.append(char(v >> 8));
}

void Escritor::U16Be(std::uint16_t v) {
    d_.append(char(v >> 8));
    d_.append(char(v & 0xff));
}

void Escritor::U32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) d_.append(char((v >> (8 * i)) & 0xff));
}

void Escritor::U32Be(std::uint32_t v) {
    for (int i = 3; i >= 0; --i) d_.append(char((v >> (8 * i)) & 0xff));
}

void Escritor::U64(std::uint64_t v) {
    U32(static_cast<std::uint32_t>(v & 0xffffffffu));
    U32(static_cast<std::uint32_t>(v >> 32));
}

void Escritor::Texto(const QString& t) {
    for (QChar c : t) U16(c.unicode());
}

void Escritor::TextoB(const QString& t) {
    const QString corto = t.left(255);
    U8(static_cast<std::uint8_t>(corto.size()));
    Texto(corto);
}

void Escritor::TextoUs(const QString& t) {
    const QString corto = t.left(65535);
    U16(static_cast<std::uint16_t>(corto.size()));
    Texto(corto);
}

void Escritor::Poner16(int posicion, std::uint16_t v) {
    d_[posicion] = char(v & 0xff);
    d_[posicion + 1] = char(v >> 8);
}

namespace {

// The characters of 0x80..0x9F in code page 1252 (0 where the page leaves a hole).
constexpr char16_t k1252[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

QByteArray A1252(const QString& texto) {
    QByteArray b;
    b.reserve(texto.size());
    for (QChar c : texto) {
        const char16_t u = c.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            b.append(char(u));
            continue;
        }
        char byte = '?';
        for (int i = 0; i < 32; ++i)
            if (k1252[i] != 0 && k1252[i] == u) byte = char(0x80 + i);
        b.append(byte);
    }
    return b;
}

QString De1252(const QByteArray& bytes) {
    QString t;
    t.reserve(bytes.size());
    for (char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x80 && u < 0xA0)
            t.append(QChar(k1252[u - 0x80] ? k1252[u - 0x80] : char16_t(u)));
        else
            t.append(QChar(char16_t(u)));
    }
    return t;
}

QString DescifrarClave(const QByteArray& bytes) {
    QByteArray claro(bytes.size(), Qt::Uninitialized);
    for (int i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i] ^ 0xA5);
        claro[i] = char(((b & 0x0f) << 4) | (b >> 4));
    }
    Lector l(claro);
    return l.Texto(int(claro.size() / 2));
}

QByteArray CifrarClave(const QString& clave) {
    Escritor e;
    e.Texto(clave);
    QByteArray b = e.Datos();
    for (auto& c : b) {
        const auto u = static_cast<unsigned char>(c);
        c = char((((u & 0x0f) << 4) | (u >> 4)) ^ 0xA5);
    }
    return b;
}

}  // namespace kv::tds
