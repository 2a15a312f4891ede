#include "localserver/tds/Tipos.h"

#include <QLocale>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "localserver/tds/Peticiones.h"
#include "localserver/tds/Valores.h"

namespace kv::tds {

using namespace tipotds;

bool ColumnaTds::texto() const {
    return tipo == NVarChar || tipo == NChar || tipo == BigVarChar || tipo == BigChar;
}

namespace {

constexpr int kMaximoCorto = 8000;  // bytes of a value that is not (max)

QString ComoTexto(const QVariant& v) {
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    if (v.typeId() == QMetaType::QDate) return v.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    if (v.typeId() == QMetaType::Double)
        return QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
    if (v.typeId() == QMetaType::Bool) return v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    return v.toString();
}

std::optional<qint64> ComoEntero(const QVariant& v) {
    bool ok = false;
    switch (v.typeId()) {
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::UInt:
        case QMetaType::Bool:
            return v.toLongLong();
        case QMetaType::Double: {
            const double d = v.toDouble();
            if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 9.2e18) return qint64(d);
            return std::nullopt;
        }
        default: {
            const qint64 n = v.toString().trimmed().toLongLong(&ok);
            if (ok) return n;
            return std::nullopt;
        }
    }
}

std::optional<double> ComoReal(const QVariant& v) {
    bool ok = false;
    const double d =
        v.typeId() == QMetaType::QString ? v.toString().trimmed().toDouble(&ok) : v.toDouble(&ok);
    if (ok && std::isfinite(d)) return d;
    return std::nullopt;
}

std::optional<QDateTime> ComoFecha(const QVariant& v) {
    if (v.typeId() == QMetaType::QDateTime) return v.toDateTime();
    if (v.typeId() == QMetaType::QDate) return v.toDate().startOfDay();
    const QString t = v.toString().trimmed();
    for (const char* formato :
         {"yyyy-MM-dd HH:mm:ss.zzz", "yyyy-MM-dd HH:mm:ss", "yyyy-MM-ddTHH:mm:ss", "yyyy-MM-dd"}) {
        const QDateTime f = QDateTime::fromString(t, QString::fromLatin1(formato));
        if (f.isValid()) return f;
    }
    return std::nullopt;
}

// Decimals a value needs in its shortest exact text.
int DecimalesDe(const QVariant& v) {
    QString t =
        v.typeId() == QMetaType::Double ? QString::number(v.toDouble(), 'f', 10) : v.toString().trimmed();
    const qsizetype punto = t.indexOf(u'.');
    if (punto < 0) return 0;
    while (t.endsWith(u'0')) t.chop(1);
    return int(t.size() - punto - 1);
}

ColumnaTds Entera(const QString& nombre, int bytes) {
    ColumnaTds c;
    c.nombre = nombre;
    c.tipo = IntN;
    c.largo = bytes;
    return c;
}

ColumnaTds Texto(const QString& nombre, std::uint8_t tipo, int bytes) {
    ColumnaTds c;
    c.nombre = nombre;
    c.tipo = tipo;
    c.largo = bytes > kMaximoCorto || bytes <= 0 ? 0xFFFF : bytes;
    return c;
}

ColumnaTds Describir(const kv::db::ColumnaResultado& col, const kv::db::ResultadoSentencia& r, size_t i,
                     std::uint32_t version) {
    using namespace kv::db::tipo;
    const QString& nombre = col.nombre;
    auto valores = [&](auto&& f) {
        for (const auto& fila : r.filas)
            if (i < fila.size() && !fila[i].isNull() && fila[i].isValid()) f(fila[i]);
    };
    auto comoNvarchar = [&]() {
        int caracteres = col.tamano > 0 && col.tamano <= 4000 ? col.tamano : 4000;
        bool largo = col.tamano > 4000;
        valores([&](const QVariant& v) {
            const int n = int(ComoTexto(v).size());
            if (n > caracteres) {
                if (n > 4000) largo = true;
                caracteres = std::max(caracteres, n);
            }
        });
        return Texto(nombre, NVarChar, largo ? 0 : caracteres * 2);
    };
    switch (col.tipo) {
        case TinyInt:
        case SmallInt:
        case Integer:
        case BigInt: {
            int bytes = col.tipo == TinyInt ? 1 : col.tipo == SmallInt ? 2 : col.tipo == Integer ? 4 : 8;
            bool real = false, textoLibre = false;
            valores([&](const QVariant& v) {
                const auto n = ComoEntero(v);
                if (!n) {
                    (ComoReal(v) ? real : textoLibre) = true;
                    return;
                }
                if (bytes == 1 && (*n < 0 || *n > 255)) bytes = 2;
                if (bytes == 2 && (*n < -32768 || *n > 32767)) bytes = 4;
                if (bytes == 4 && (*n < INT32_MIN || *n > INT32_MAX)) bytes = 8;
            });
            if (textoLibre) return comoNvarchar();
            if (real) {
                ColumnaTds c;
                c.nombre = nombre;
                c.tipo = FltN;
                c.largo = 8;
                return c;
            }
            return Entera(nombre, bytes);
        }
        case Boolean: {
            ColumnaTds c;
            c.nombre = nombre;
            c.tipo = BitN;
            c.largo = 1;
            return c;
        }
        case Single:
        case Double: {
            bool textoLibre = false;
            valores([&](const QVariant& v) { textoLibre = textoLibre || !ComoReal(v); });
            if (textoLibre) return comoNvarchar();
            ColumnaTds c;
            c.nombre = nombre;
            c.tipo = FltN;
            c.largo = col.tipo == Single ? 4 : 8;
            return c;
        }
        case Currency: {
            bool cabe = true;
            valores([&](const QVariant& v) {
                if (v.typeId() == QMetaType::QString ? !DineroDeTexto(v.toString())
                                                     : !DineroDeReal(v.toDouble()))
                    cabe = false;
            });
            if (!cabe) return comoNvarchar();
            ColumnaTds c;
            c.nombre = nombre;
            c.tipo = MoneyN;
            c.largo = 8;
            return c;
        }
        case Numeric: {
            ColumnaTds c;
            c.nombre = nombre;
            c.tipo = DecimalN;
            c.precision = col.precision > 0 ? std::min(col.precision, 38) : 0;
            c.escala = col.precision > 0 ? std::clamp(col.escala, 0, c.precision) : 0;
            if (col.precision <= 0) {
                c.escalaDeValores = true;
                // An expression without a declared scale: as many decimals as its values show, at most 10.
                valores(
                    [&](const QVariant& v) { c.escala = std::max(c.escala, std::min(DecimalesDe(v), 10)); });
                c.precision = 38;
            }
            bool textoLibre = false;
            valores([&](const QVariant& v) {
                const auto d = v.typeId() == QMetaType::QString ? DecimalDeTexto(v.toString(), c.escala)
                                                                : DecimalDeReal(v.toDouble(), c.escala);
                if (!d) {
                    textoLibre = true;
                    return;
                }
                if (Digitos(*d) > c.precision) c.precision = 38;
                if (Digitos(*d) > 38) textoLibre = true;
            });
            if (textoLibre) return comoNvarchar();
            c.largo = 1 + BytesDecimal(c.precision);
            return c;
        }
        case Date:
        case DBTimeStamp: {
            bool fueraDeRango = false, textoLibre = false;
            valores([&](const QVariant& v) {
                const auto f = ComoFecha(v);
                if (!f)
                    textoLibre = true;
                else if (!EnRangoDatetime(*f))
                    fueraDeRango = true;
            });
            if (textoLibre) return comoNvarchar();
            ColumnaTds c;
            c.nombre = nombre;
            const bool moderno = version >= Tds73a;
            if (moderno && (col.tipo == Date || col.tipoServidor == QLatin1String("date"))) {
                c.tipo = DateN;
            } else if (moderno && fueraDeRango) {
                c.tipo = DateTime2N;
                c.escala = 3;
            } else {
                c.tipo = DateTimeN;
                c.largo = 8;
            }
            return c;
        }
        case Char:
        case VarChar:
        case LongVarChar: {
            int bytes = col.tamano > 0 && col.tamano <= kMaximoCorto ? col.tamano
                                                                     : (col.tamano > 0 ? 0 : kMaximoCorto);
            valores([&](const QVariant& v) {
                const int n = int(A1252(ComoTexto(v)).size());
                if (bytes > 0 && n > bytes) bytes = n > kMaximoCorto ? 0 : n;
            });
            return Texto(nombre, col.tipo == Char && bytes > 0 ? BigChar : BigVarChar, bytes);
        }
        case WChar: {
            ColumnaTds c = comoNvarchar();
            if (!c.plp()) c.tipo = NChar;
            return c;
        }
        case VarBinary:
        case 205: {
            int bytes = col.tamano > 0 && col.tamano <= kMaximoCorto ? col.tamano
                                                                     : (col.tamano > 0 ? 0 : kMaximoCorto);
            valores([&](const QVariant& v) {
                const int n = int(v.toByteArray().size());
                if (bytes > 0 && n > bytes) bytes = n > kMaximoCorto ? 0 : n;
            });
            return Texto(nombre, BigVarBinary, bytes);
        }
        default:
            return comoNvarchar();
    }
}

void EscribirPlp(Escritor& e, const QByteArray& datos) {
    e.U64(std::uint64_t(datos.size()));
    // Chunks of at most 8000 bytes, as the server writes them.
    for (qsizetype desde = 0; desde < datos.size(); desde += kMaximoCorto) {
        const qsizetype n = std::min<qsizetype>(kMaximoCorto, datos.size() - desde);
        e.U32(static_cast<std::uint32_t>(n));
        e.Bytes(datos.mid(desde, n));
    }
    e.U32(0);
}

QByteArray Utf16(const QString& t) {
    Escritor e;
    e.Texto(t);
    return e.Datos();
}

void EscribirNulo(Escritor& e, const ColumnaTds& c) {
    if (c.plp()) {
        e.U64(0xFFFFFFFFFFFFFFFFull);
    } else if (c.texto() || c.tipo == BigVarBinary || c.tipo == BigBinary) {
        e.U16(0xFFFF);
    } else {
        e.U8(0);
    }
}

void EscribirTresBytes(Escritor& e, std::int32_t v) {
    e.U8(static_cast<std::uint8_t>(v & 0xff));
    e.U8(static_cast<std::uint8_t>((v >> 8) & 0xff));
    e.U8(static_cast<std::uint8_t>((v >> 16) & 0xff));
}

}  // namespace

std::vector<ColumnaTds> DescribirColumnas(const kv::db::ResultadoSentencia& r, std::uint32_t version) {
    std::vector<ColumnaTds> columnas;
    columnas.reserve(r.columnas.size());
    for (size_t i = 0; i < r.columnas.size(); ++i)
        columnas.push_back(Describir(r.columnas[i], r, i, version));
    return columnas;
}

bool CabeValor(const ColumnaTds& c, const QVariant& v) {
    if (v.isNull() || !v.isValid()) return true;
    switch (c.tipo) {
        case IntN: {
            const auto n = ComoEntero(v);
            if (!n) return false;
            if (c.largo == 1) return *n >= 0 && *n <= 255;
            if (c.largo == 2) return *n >= -32768 && *n <= 32767;
            if (c.largo == 4) return *n >= INT32_MIN && *n <= INT32_MAX;
            return true;
        }
        case BitN:
            return true;
        case FltN:
            return ComoReal(v).has_value();
        case MoneyN:
            return v.typeId() == QMetaType::QString ? DineroDeTexto(v.toString()).has_value()
                                                    : DineroDeReal(v.toDouble()).has_value();
        case DecimalN:
        case NumericN: {
            if (c.escalaDeValores && DecimalesDe(v) > c.escala) return false;
            const auto d = v.typeId() == QMetaType::QString ? DecimalDeTexto(v.toString(), c.escala)
                                                            : DecimalDeReal(v.toDouble(), c.escala);
            return d && Digitos(*d) <= c.precision;
        }
        case DateTimeN: {
            const auto f = ComoFecha(v);
            return f && EnRangoDatetime(*f);
        }
        case DateN:
        case DateTime2N:
            return ComoFecha(v).has_value();
        case NVarChar:
        case NChar:
            return c.plp() || int(ComoTexto(v).size()) * 2 <= c.largo;
        case BigVarChar:
        case BigChar:
            return c.plp() || int(A1252(ComoTexto(v)).size()) <= c.largo;
        case BigVarBinary:
        case BigBinary:
            return c.plp() || int(v.toByteArray().size()) <= c.largo;
        default:
            return true;
    }
}

void EscribirInfoTipo(Escritor& e, const ColumnaTds& c) {
    e.U8(c.tipo);
    switch (c.tipo) {
        case IntN:
        case BitN:
        case FltN:
        case MoneyN:
        case DateTimeN:
            e.U8(static_cast<std::uint8_t>(c.largo));
            return;
        case DecimalN:
        case NumericN:
            e.U8(static_cast<std::uint8_t>(c.largo));
            e.U8(static_cast<std::uint8_t>(c.precision));
            e.U8(static_cast<std::uint8_t>(c.escala));
            return;
        case DateN:
            return;
        case DateTime2N:
            e.U8(static_cast<std::uint8_t>(c.escala));
            return;
        case NVarChar:
        case NChar:
        case BigVarChar:
        case BigChar:
            e.U16(static_cast<std::uint16_t>(c.largo));
            e.Bytes(QByteArray(reinterpret_cast<const char*>(kColacion), 5));
            return;
        case BigVarBinary:
        case BigBinary:
            e.U16(static_cast<std::uint16_t>(c.largo));
            return;
        default:
            throw ErrorTrama("tipo de columna sin forma en la red");
    }
}

void EscribirColmetadata(Escritor& e, const std::vector<ColumnaTds>& columnas) {
    e.U8(0x81);
    e.U16(static_cast<std::uint16_t>(columnas.size()));
    for (const auto& c : columnas) {
        e.U32(0);       // user type
        e.U16(0x0009);  // nullable; updatability unknown
        EscribirInfoTipo(e, c);
        e.TextoB(c.nombre);
    }
}

void EscribirValor(Escritor& e, const ColumnaTds& c, const QVariant& v) {
    if (v.isNull() || !v.isValid()) {
        EscribirNulo(e, c);
        return;
    }
    switch (c.tipo) {
        case IntN: {
            const qint64 n = ComoEntero(v).value_or(0);
            e.U8(static_cast<std::uint8_t>(c.largo));
            if (c.largo == 1)
                e.U8(static_cast<std::uint8_t>(n));
            else if (c.largo == 2)
                e.U16(static_cast<std::uint16_t>(n));
            else if (c.largo == 4)
                e.U32(static_cast<std::uint32_t>(n));
            else
                e.U64(static_cast<std::uint64_t>(n));
            return;
        }
        case BitN:
            e.U8(1);
            e.U8(v.typeId() == QMetaType::QString
                     ? (v.toString().trimmed() != QLatin1String("0") &&
                        v.toString().compare(QLatin1String("false"), Qt::CaseInsensitive) != 0)
                     : (ComoEntero(v).value_or(0) != 0 ? 1 : 0));
            return;
        case FltN: {
            const double d = ComoReal(v).value_or(0);
            e.U8(static_cast<std::uint8_t>(c.largo));
            if (c.largo == 4) {
                const float f = float(d);
                std::uint32_t b;
                std::memcpy(&b, &f, 4);
                e.U32(b);
            } else {
                std::uint64_t b;
                std::memcpy(&b, &d, 8);
                e.U64(b);
            }
            return;
        }
        case MoneyN: {
            const std::int64_t n =
                (v.typeId() == QMetaType::QString ? DineroDeTexto(v.toString()) : DineroDeReal(v.toDouble()))
                    .value_or(0);
            e.U8(8);
            e.U32(static_cast<std::uint32_t>(static_cast<std::uint64_t>(n) >> 32));
            e.U32(static_cast<std::uint32_t>(static_cast<std::uint64_t>(n) & 0xffffffffu));
            return;
        }
        case DecimalN:
        case NumericN: {
            const Entero128 d = (v.typeId() == QMetaType::QString ? DecimalDeTexto(v.toString(), c.escala)
                                                                  : DecimalDeReal(v.toDouble(), c.escala))
                                    .value_or(0);
            const int bytes = BytesDecimal(c.precision);
            e.U8(static_cast<std::uint8_t>(1 + bytes));
            e.U8(d < 0 ? 0 : 1);
            unsigned __int128 m = static_cast<unsigned __int128>(d < 0 ? -d : d);
            for (int i = 0; i < bytes; ++i) {
                e.U8(static_cast<std::uint8_t>(m & 0xff));
                m >>= 8;
            }
            return;
        }
        case DateTimeN: {
            const FechaHoraTds f =
                ADatetime(ComoFecha(v).value_or(QDateTime(QDate(1900, 1, 1), QTime(0, 0))));
            e.U8(8);
            e.U32(static_cast<std::uint32_t>(f.dias));
            e.U32(f.tercios);
            return;
        }
        case DateN: {
            const QDateTime f = ComoFecha(v).value_or(QDateTime(QDate(1900, 1, 1), QTime(0, 0)));
            e.U8(3);
            EscribirTresBytes(e, ADate(f.date()));
            return;
        }
        case DateTime2N: {
            const QDateTime f = ComoFecha(v).value_or(QDateTime(QDate(1900, 1, 1), QTime(0, 0)));
            e.U8(7);
            e.U32(static_cast<std::uint32_t>(f.time().msecsSinceStartOfDay()));
            EscribirTresBytes(e, ADate(f.date()));
            return;
        }
        case NVarChar:
        case NChar:
        case BigVarChar:
        case BigChar:
        case BigVarBinary:
        case BigBinary: {
            QByteArray datos;
            if (c.tipo == BigVarBinary || c.tipo == BigBinary)
                datos = v.toByteArray();
            else if (c.tipo == BigVarChar || c.tipo == BigChar)
                datos = A1252(ComoTexto(v));
            else
                datos = Utf16(ComoTexto(v));
            if (c.plp()) {
                EscribirPlp(e, datos);
            } else {
                if (datos.size() > c.largo) datos.truncate(c.largo);
                e.U16(static_cast<std::uint16_t>(datos.size()));
                e.Bytes(datos);
            }
            return;
        }
        default:
            throw ErrorTrama("tipo de columna sin forma en la red");
    }
}

void EscribirFila(Escritor& e, const std::vector<ColumnaTds>& columnas, const std::vector<QVariant>& fila) {
    bool nulos = false;
    for (size_t i = 0; i < columnas.size(); ++i)
        if (i >= fila.size() || fila[i].isNull() || !fila[i].isValid()) nulos = true;
    if (!nulos) {
        e.U8(0xD1);
        for (size_t i = 0; i < columnas.size(); ++i) EscribirValor(e, columnas[i], fila[i]);
        return;
    }
    e.U8(0xD2);
    QByteArray mapa((int(columnas.size()) + 7) / 8, '\0');
    for (size_t i = 0; i < columnas.size(); ++i)
        if (i >= fila.size() || fila[i].isNull() || !fila[i].isValid())
            mapa[int(i / 8)] = char(mapa[int(i / 8)] | (1 << (i % 8)));
    e.Bytes(mapa);
    for (size_t i = 0; i < columnas.size(); ++i)
        if (!(static_cast<unsigned char>(mapa[int(i / 8)]) & (1 << (i % 8))))
            EscribirValor(e, columnas[i], fila[i]);
}

}  // namespace kv::tds
