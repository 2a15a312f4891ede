#include "localserver/tsql/Funciones.h"

#include <sqlite3.h>

#include <QDateTime>
#include <cstdio>
#include <QRegularExpression>
#include <QStringList>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "localserver/tsql/Decimal.h"
#include "localserver/tsql/Dinero.h"
#include "localserver/tsql/Mensajes.h"

namespace kv::local {

namespace {

// ------------------------------------------------------------------ collation

struct Peso {
    quint32 primario;  // letter without case or accent; "ñ" between "n" and "o"
    quint16 acento;    // 0 without accent
};

// Weights of the code points up to U+024F, worked out once from Unicode's decompositions.
const std::array<Peso, 0x250>& TablaPesos() {
    static const std::array<Peso, 0x250> tabla = [] {
        std::array<Peso, 0x250> t{};
        for (uint c = 0; c < 0x250; ++c) {
            Peso p{0, 0};
            if (c < 0x80) {
                uint l = (c >= 'A' && c <= 'Z') ? c + 32 : c;
                p.primario = l * 4;
            } else if (c == 0xF1 || c == 0xD1) {
                p.primario = 'n' * 4 + 2;
            } else {
                const QChar q(static_cast<char16_t>(c));
                const QString d = q.decomposition();
                if (q.decompositionTag() == QChar::Canonical && d.size() >= 2 && d[0].unicode() < 0x80 &&
                    d[0].isLetter()) {
                    p.primario = static_cast<quint32>(d[0].toLower().unicode()) * 4;
                    p.acento = d[1].unicode();
                } else {
                    p.primario = static_cast<quint32>(q.toLower().unicode()) * 4;
                }
            }
            t[c] = p;
        }
        return t;
    }();
    return tabla;
}

Peso PesoDe(uint c) {
    if (c < 0x250) return TablaPesos()[c];
    if (c < 0x10000) {
        const QChar q(static_cast<char16_t>(c));
        return Peso{static_cast<quint32>(q.toLower().unicode()) * 4, 0};
    }
    return Peso{c * 4, 0};
}

// Reads one code point of UTF-8; a broken sequence gives its first byte.
uint LeerUtf8(const unsigned char* s, int n, int& i) {
    const unsigned char b = s[i];
    if (b < 0x80) {
        ++i;
        return b;
    }
    int largo = 0;
    uint c = 0;
    if ((b & 0xE0) == 0xC0) {
        largo = 2;
        c = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
        largo = 3;
        c = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
        largo = 4;
        c = b & 0x07;
    } else {
        ++i;
        return 0xDC00 + b;
    }
    if (i + largo > n) {
        ++i;
        return 0xDC00 + b;
    }
    for (int k = 1; k < largo; ++k) {
        if ((s[i + k] & 0xC0) != 0x80) {
            ++i;
            return 0xDC00 + b;
        }
        c = (c << 6) | (s[i + k] & 0x3F);
    }
    i += largo;
    return c;
}

int CompararUtf8(const unsigned char* a, int na, const unsigned char* b, int nb) {
    while (na > 0 && a[na - 1] == ' ') --na;
    while (nb > 0 && b[nb - 1] == ' ') --nb;
    int i = 0;
    const int minimo = na < nb ? na : nb;
    // Plain ASCII: compare lower-case bytes.
    while (i < minimo) {
        const unsigned char x = a[i];
        const unsigned char y = b[i];
        if ((x | y) & 0x80) break;
        if (x != y) {
            const unsigned char lx = (x >= 'A' && x <= 'Z') ? x + 32 : x;
            const unsigned char ly = (y >= 'A' && y <= 'Z') ? y + 32 : y;
            if (lx != ly) return lx < ly ? -1 : 1;
        }
        ++i;
    }
    if (i == minimo && !(i < na && (a[i] & 0x80)) && !(i < nb && (b[i] & 0x80))) {
        if (na == nb) return 0;
        return na < nb ? -1 : 1;
    }
    int ia = i, ib = i;
    int acento = 0;
    while (ia < na && ib < nb) {
        const Peso pa = PesoDe(LeerUtf8(a, na, ia));
        const Peso pb = PesoDe(LeerUtf8(b, nb, ib));
        if (pa.primario != pb.primario) return pa.primario < pb.primario ? -1 : 1;
        if (acento == 0 && pa.acento != pb.acento) acento = pa.acento < pb.acento ? -1 : 1;
    }
    if (ia < na) return 1;
    if (ib < nb) return -1;
    return acento;
}

int ColacionKV(void*, int na, const void* a, int nb, const void* b) {
    return CompararUtf8(static_cast<const unsigned char*>(a), na, static_cast<const unsigned char*>(b), nb);
}

// ------------------------------------------------------------------ helpers

void Fallar(sqlite3_context* ctx, int numero, const QString& mensaje) {
    const QByteArray texto =
        (QLatin1Char('[') + QString::number(numero) + QLatin1String("] ") + mensaje).toUtf8();
    sqlite3_result_error(ctx, texto.constData(), static_cast<int>(texto.size()));
}

QString Texto(sqlite3_value* v) {
    const unsigned char* s = sqlite3_value_text(v);
    if (!s) return QString();
    return QString::fromUtf8(reinterpret_cast<const char*>(s), sqlite3_value_bytes(v));
}

void DevolverTexto(sqlite3_context* ctx, const QString& s) {
    const QByteArray b = s.toUtf8();
    sqlite3_result_text(ctx, b.constData(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
}

bool HayNulo(int argc, sqlite3_value** argv) {
    for (int i = 0; i < argc; ++i)
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return true;
    return false;
}

QString NombreTipoSqlite(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER:
            return QStringLiteral("int");
        case SQLITE_FLOAT:
            return QStringLiteral("float");
        default:
            return QStringLiteral("nvarchar");
    }
}

// A number out of a value: integers stay integers. Text must read as a number.
struct Numero {
    bool entero = true;
    qint64 i = 0;
    double d = 0;
    double Real() const { return entero ? static_cast<double>(i) : d; }
};

bool LeerNumero(sqlite3_value* v, Numero& n) {
    switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER:
            n.entero = true;
            n.i = sqlite3_value_int64(v);
            return true;
        case SQLITE_FLOAT:
            n.entero = false;
            n.d = sqlite3_value_double(v);
            return true;
        default: {
            const QString s = Texto(v).trimmed();
            bool ok = false;
            const qint64 i = s.toLongLong(&ok);
            if (ok) {
                n.entero = true;
                n.i = i;
                return true;
            }
            const double d = s.toDouble(&ok);
            if (ok && !s.isEmpty()) {
                n.entero = false;
                n.d = d;
                return true;
            }
            if (s.isEmpty()) {
                n.entero = true;
                n.i = 0;
                return true;
            }
            return false;
        }
    }
}

// ------------------------------------------------------------------ arithmetic

void FnDiv(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (HayNulo(argc, argv)) return sqlite3_result_null(ctx);
    Numero a, b;
    if (!LeerNumero(argv[0], a))
        return Fallar(ctx, mensajes::kConversionTipo,
                      mensajes::ConversionTipo(QStringLiteral("nvarchar"), QStringLiteral("numeric")));
    if (!LeerNumero(argv[1], b))
        return Fallar(ctx, mensajes::kConversionTipo,
                      mensajes::ConversionTipo(QStringLiteral("nvarchar"), QStringLiteral("numeric")));
    if ((b.entero && b.i == 0) || (!b.entero && b.d == 0.0))
        return Fallar(ctx, mensajes::kDivisionCero, mensajes::DivisionCero());
    if (a.entero && b.entero) {
        if (a.i == std::numeric_limits<qint64>::min() && b.i == -1)
            return Fallar(ctx, mensajes::kDesbordamiento, mensajes::Desbordamiento(QStringLiteral("bigint")));
        return sqlite3_result_int64(ctx, a.i / b.i);
    }
    sqlite3_result_double(ctx, a.Real() / b.Real());
}

void FnMod(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (HayNulo(argc, argv)) return sqlite3_result_null(ctx);
    Numero a, b;
    if (!LeerNumero(argv[0], a) || !LeerNumero(argv[1], b))
        return Fallar(ctx, mensajes::kConversionTipo,
                      mensajes::ConversionTipo(QStringLiteral("nvarchar"), QStringLiteral("numeric")));
    if ((b.entero && b.i == 0) || (!b.entero && b.d == 0.0))
        return Fallar(ctx, mensajes::kDivisionCero, mensajes::DivisionCero());
    if (a.entero && b.entero) {
        if (b.i == -1) return sqlite3_result_int64(ctx, 0);
        return sqlite3_result_int64(ctx, a.i % b.i);
    }
    sqlite3_result_double(ctx, std::fmod(a.Real(), b.Real()));
}

void FnSuma(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (HayNulo(argc, argv)) return sqlite3_result_null(ctx);
    const int ta = sqlite3_value_type(argv[0]);
    const int tb = sqlite3_value_type(argv[1]);
    if ((ta == SQLITE_TEXT || ta == SQLITE_BLOB) && (tb == SQLITE_TEXT || tb == SQLITE_BLOB)) {
        std::string s(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])),
                      sqlite3_value_bytes(argv[0]));
        s.append(reinterpret_cast<const char*>(sqlite3_value_text(argv[1])), sqlite3_value_bytes(argv[1]));
        return sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
    }
    Numero a, b;
    if (!LeerNumero(argv[0], a)) {
        return Fallar(ctx, mensajes::kConversionValor,
                      mensajes::ConversionValor(Texto(argv[0]), NombreTipoSqlite(argv[1])));
    }
    if (!LeerNumero(argv[1], b)) {
        return Fallar(ctx, mensajes::kConversionValor,
                      mensajes::ConversionValor(Texto(argv[1]), NombreTipoSqlite(argv[0])));
    }
    if (a.entero && b.entero) {
        qint64 r = 0;
        if (__builtin_add_overflow(a.i, b.i, &r))
            return Fallar(ctx, mensajes::kDesbordamiento, mensajes::Desbordamiento(QStringLiteral("bigint")));
        return sqlite3_result_int64(ctx, r);
    }
    sqlite3_result_double(ctx, a.Real() + b.Real());
}

void FnPiso(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (HayNulo(argc, argv)) return sqlite3_result_null(ctx);
    Numero a;
    if (!LeerNumero(argv[0], a))
        return Fallar(ctx, mensajes::kConversionTipo,
                      mensajes::ConversionTipo(QStringLiteral("nvarchar"), QStringLiteral("float")));
    if (a.entero) return sqlite3_result_int64(ctx, a.i);
    sqlite3_result_double(ctx, std::floor(a.d));
}

void FnTecho(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (HayNulo(argc, argv)) return sqlite3_result_null(ctx);
    Numero a;
    if (!LeerNumero(argv[0], a))
        return Fallar(ctx, mensajes::kConversionTipo,
                      mensajes::ConversionTipo(QStringLiteral("nvarchar"), QStringLiteral("float")));
    if (a.entero) return sqlite3_result_int64(ctx, a.i);
    sqlite3_result_double(ctx, std::ceil(a.d));
}

void FnEntero(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (HayNulo(argc, argv)) return sqlite3_result_null(ctx);
    switch (sqlite3_value_type(argv[0])) {
        case SQLITE_INTEGER:
            return sqlite3_result_int64(ctx, sqlite3_value_int64(argv[0]));
        case SQLITE_FLOAT: {
            const double d = std::trunc(sqlite3_value_double(argv[0]));
            if (!(d >= -9.2e18 && d <= 9.2e18))
                return Fallar(ctx, mensajes::kDesbordamiento,
                              mensajes::Desbordamiento(QStringLiteral("int")));
            return sqlite3_result_int64(ctx, static_cast<qint64>(d));
        }
        default: {
            const QString s = Texto(argv[0]);
            bool ok = false;
            const qint64 v = s.trimmed().toLongLong(&ok);
            if (s.trimmed().isEmpty()) return sqlite3_result_int64(ctx, 0);
            if (!ok)
                return Fallar(ctx, mensajes::kConversionValor,
                              mensajes::ConversionValor(s, QStringLiteral("int")));
            return sqlite3_result_int64(ctx, v);
        }
    }
}

void FnNumero(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (HayNulo(argc, argv)) return sqlite3_result_null(ctx);
    Numero a;
    if (!LeerNumero(argv[0], a))
        return Fallar(ctx, mensajes::kConversionTipo,
                      mensajes::ConversionTipo(QStringLiteral("nvarchar"),
                                               argc > 1 ? Texto(argv[1]) : QStringLiteral("float")));
    if (a.entero) return sqlite3_result_double(ctx, static_cast<double>(a.i));
    sqlite3_result_double(ctx, a.d);
}

// kv_real(x): a number as real keeps it, 4 bytes: rounded to single precision.
void FnReal(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (HayNulo(argc, argv)) return sqlite3_result_null(ctx);
    sqlite3_result_double(ctx, static_cast<double>(static_cast<float>(sqlite3_value_double(argv[0]))));
}

// ------------------------------------------------------------------ text

void FnLen(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (HayNulo(argc, argv)) return sqlite3_result_null(ctx);
    const unsigned char* s = sqlite3_value_text(argv[0]);
    int n = sqlite3_value_bytes(argv[0]);
    if (!s) return sqlite3_result_int(ctx, 0);
    while (n > 0 && s[n - 1] == ' ') --n;
    bool ascii = true;
    for (int i = 0; i < n && ascii; ++i) ascii = s[i] < 0x80;
    if (ascii) return sqlite3_result_int(ctx, n);
    sqlite3_result_int(ctx, static_cast<int>(QString::fromUtf8(reinterpret_cast<const char*>(s), n).size()));
}

void FnCharindex(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (HayNulo(argc, argv)) return sqlite3_result_null(ctx);
    const QString buscado = Texto(argv[0]);
    const QString texto = Texto(argv[1]);
    qint64 inicio = argc > 2 ? sqlite3_value_int64(argv[2]) : 1;
    if (inicio < 1) inicio = 1;
    if (buscado.isEmpty() || inicio > texto.size()) return sqlite3_result_int(ctx, 0);
    const qsizetype pos = texto.indexOf(buscado, static_cast<qsizetype>(inicio - 1), Qt::CaseInsensitive);
    sqlite3_result_int64(ctx, pos < 0 ? 0 : pos + 1);
}

void FnSubcadena(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (HayNulo(argc, argv)) return sqlite3_result_null(ctx);
    const QString s = Texto(argv[0]);
    const qint64 inicio = sqlite3_value_int64(argv[1]);
    const qint64 largo = sqlite3_value_int64(argv[2]);
    if (largo < 0)
        return Fallar(ctx, mensajes::kLongitudSubcadena,
                      mensajes::LongitudNoValida(QStringLiteral("substring")));
    // Characters from `inicio` to `inicio + largo - 1`, counted from 1, clipped to the text.
    qint64 desde = inicio;
    qint64 hasta = (largo > std::numeric_limits<qint64>::max() - inicio) ? std::numeric_limits<qint64>::max()
                                                                         : inicio + largo;
    if (desde < 1) desde = 1;
    if (hasta > s.size() + 1) hasta = s.size() + 1;
    if (hasta <= desde) return DevolverTexto(ctx, QString());
    DevolverTexto(ctx, s.mid(static_cast<qsizetype>(desde - 1), static_cast<qsizetype>(hasta - desde)));
}

void FnDerecha(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (HayNulo(argc, argv)) return sqlite3_result_null(ctx);
    const QString s = Texto(argv[0]);
    const qint64 n = sqlite3_value_int64(argv[1]);
    if (n < 0)
        return Fallar(ctx, mensajes::kLongitudDerecha, mensajes::LongitudNoValida(QStringLiteral("right")));
    DevolverTexto(ctx, n >= s.size() ? s : s.right(static_cast<qsizetype>(n)));
}

void FnMayusculas(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (HayNulo(argc, argv)) return sqlite3_result_null(ctx);
    DevolverTexto(ctx, Texto(argv[0]).toUpper());
}

void FnMinusculas(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (HayNulo(argc, argv)) return sqlite3_result_null(ctx);
    DevolverTexto(ctx, Texto(argv[0]).toLower());
}

void FnReemplazar(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (HayNulo(argc, argv)) return sqlite3_result_null(ctx);
    QString s = Texto(argv[0]);
    const QString de = Texto(argv[1]);
    if (de.isEmpty()) return DevolverTexto(ctx, s);
    DevolverTexto(ctx, s.replace(de, Texto(argv[2]), Qt::CaseInsensitive));
}

void FnReplicar(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (HayNulo(argc, argv)) return sqlite3_result_null(ctx);
    const QString s = Texto(argv[0]);
    const qint64 n = sqlite3_value_int64(argv[1]);
    if (n < 0) return sqlite3_result_null(ctx);
    if (s.isEmpty()) return DevolverTexto(ctx, QString());
    // Like SQL Server with a type that is not max: at most 8000 characters.
    constexpr qint64 kMaximo = 8000;
    QString r;
    for (qint64 i = 0; i < n && r.size() < kMaximo; ++i) r += s;
    DevolverTexto(ctx, r.left(kMaximo));
}

// ------------------------------------------------------------------ dates

bool LeerEntero(const QString& s, int& i, int maxDigitos, int& valor, int* digitos = nullptr) {
    int n = 0;
    valor = 0;
    while (i < s.size() && n < maxDigitos && s[i] >= QLatin1Char('0') && s[i] <= QLatin1Char('9')) {
        valor = valor * 10 + (s[i].unicode() - '0');
        ++i;
        ++n;
    }
    if (digitos) *digitos = n;
    return n > 0;
}

// "hh:mm[:ss[.fff]] [AM|PM]" from position i to the end.
bool LeerHora(const QString& s, int i, QTime& hora) {
    while (i < s.size() && s[i] == QLatin1Char(' ')) ++i;
    if (i >= s.size()) {
        hora = QTime(0, 0, 0);
        return true;
    }
    int h = 0, m = 0, seg = 0;
    if (!LeerEntero(s, i, 2, h)) return false;
    if (i >= s.size() || s[i] != QLatin1Char(':')) return false;
    ++i;
    if (!LeerEntero(s, i, 2, m)) return false;
    if (i < s.size() && s[i] == QLatin1Char(':')) {
        ++i;
        if (!LeerEntero(s, i, 2, seg)) return false;
        if (i < s.size() && (s[i] == QLatin1Char('.') || s[i] == QLatin1Char(','))) {
            ++i;
            int fr = 0;
            LeerEntero(s, i, 9, fr);
        }
    }
    while (i < s.size() && s[i] == QLatin1Char(' ')) ++i;
    const QString resto = s.mid(i).toUpper().remove(QLatin1Char('.'));
    if (resto == QLatin1String("PM")) {
        if (h < 1 || h > 12) return false;
        if (h != 12) h += 12;
    } else if (resto == QLatin1String("AM")) {
        if (h < 1 || h > 12) return false;
        if (h == 12) h = 0;
    } else if (!resto.isEmpty()) {
        return false;
    }
    hora = QTime(h, m, seg);
    return hora.isValid();
}

int AnioDeDosCifras(int anio, int digitos) {
    if (digitos > 2) return anio;
    return anio < 50 ? 2000 + anio : 1900 + anio;  // SQL Server's two-digit year cut-off
}

QString FormatoISO(const QDate& fecha, const QTime& hora) {
    if (fecha.year() >= 0 && fecha.year() <= 9999 && hora.isValid()) {
        char texto[24];
        const int n = std::snprintf(texto, sizeof texto, "%04d-%02d-%02d %02d:%02d:%02d", fecha.year(), fecha.month(),
                                    fecha.day(), hora.hour(), hora.minute(), hora.second());
        return QString::fromLatin1(texto, n);
    }
    return QStringLiteral("%1-%2-%3 %4:%5:%6")
        .arg(fecha.year(), 4, 10, QLatin1Char('0'))
        .arg(fecha.month(), 2, 10, QLatin1Char('0'))
        .arg(fecha.day(), 2, 10, QLatin1Char('0'))
        .arg(hora.hour(), 2, 10, QLatin1Char('0'))
        .arg(hora.minute(), 2, 10, QLatin1Char('0'))
        .arg(hora.second(), 2, 10, QLatin1Char('0'));
}

bool LeerFechaHora(const QString& original, int estilo, QDateTime& resultado) {
    const QString s = original.trimmed();
    QTime hora(0, 0, 0);
    if (s.isEmpty()) {
        resultado = QDateTime(QDate(1900, 1, 1), hora, Qt::UTC);
        return true;
    }
    int i = 0;
    int a = 0, da = 0;
    if (!LeerEntero(s, i, 8, a, &da)) return false;
    if (i < s.size() && s[i] == QLatin1Char(':') && da <= 2) {
        if (!LeerHora(s, 0, hora)) return false;
        resultado = QDateTime(QDate(1900, 1, 1), hora, Qt::UTC);
        return true;
    }
    QDate fecha;
    if (da == 8 && (i == s.size() || s[i] == QLatin1Char(' ') || s[i] == QLatin1Char('T'))) {
        fecha = QDate(a / 10000, (a / 100) % 100, a % 100);
    } else if (da == 4 && i < s.size() &&
               (s[i] == QLatin1Char('-') || s[i] == QLatin1Char('/') || s[i] == QLatin1Char('.'))) {
        const QChar sep = s[i++];
        int m = 0, d = 0;
        if (!LeerEntero(s, i, 2, m)) return false;
        if (i >= s.size() || s[i] != sep) return false;
        ++i;
        if (!LeerEntero(s, i, 2, d)) return false;
        fecha = QDate(a, m, d);
    } else if (da <= 2 && i < s.size() &&
               (s[i] == QLatin1Char('/') || s[i] == QLatin1Char('-') || s[i] == QLatin1Char('.'))) {
        const QChar sep = s[i++];
        int b = 0, c = 0, dc = 0;
        if (!LeerEntero(s, i, 2, b)) return false;
        if (i >= s.size() || s[i] != sep) return false;
        ++i;
        if (!LeerEntero(s, i, 4, c, &dc)) return false;
        if (dc == 3) return false;
        const int anio = AnioDeDosCifras(c, dc);
        const bool mesPrimero = estilo == 101 || estilo == 1 || estilo == 110 || estilo == 10;
        fecha = mesPrimero ? QDate(anio, a, b) : QDate(anio, b, a);
    } else {
        return false;
    }
    if (!fecha.isValid()) return false;
    if (i < s.size()) {
        if (s[i] == QLatin1Char('T'))
            ++i;
        else if (s[i] != QLatin1Char(' '))
            return false;
        if (!LeerHora(s, i, hora)) return false;
    }
    resultado = QDateTime(fecha, hora, Qt::UTC);
    return true;
}

bool ValorAFecha(sqlite3_value* v, int estilo, QDateTime& resultado) {
    const int tipo = sqlite3_value_type(v);
    if (tipo == SQLITE_INTEGER || tipo == SQLITE_FLOAT) {
        // Numbers count days from 1900-01-01, as SQL Server reads them.
        const double dias = sqlite3_value_double(v);
        if (!(dias > -53690 && dias < 2958464)) return false;
        const double entero = std::floor(dias);
        const qint64 segundos = static_cast<qint64>(std::llround((dias - entero) * 86400.0));
        resultado = QDateTime(QDate(1900, 1, 1).addDays(static_cast<qint64>(entero)), QTime(0, 0, 0), Qt::UTC)
                        .addSecs(segundos);
        return true;
    }
    return LeerFechaHora(Texto(v), estilo, resultado);
}

// "YYYY-MM-DD HH:MM:SS" of a real date and time: the form dates are kept in, which
// reading and writing again would give back unchanged.
bool EsFormaGuardada(const unsigned char* t, int n) {
    if (!t || n != 19) return false;
    static const char patron[] = "dddd-dd-dd dd:dd:dd";
    for (int i = 0; i < 19; ++i) {
        if (patron[i] == 'd' ? (t[i] < '0' || t[i] > '9') : t[i] != static_cast<unsigned char>(patron[i]))
            return false;
    }
    const auto num = [t](int i, int k) {
        int v = 0;
        for (int j = i; j < i + k; ++j) v = v * 10 + (t[j] - '0');
        return v;
    };
    return QDate::isValid(num(0, 4), num(5, 2), num(8, 2)) && num(11, 2) < 24 && num(14, 2) < 60 && num(17, 2) < 60;
}

void FnFecha(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    if (sqlite3_value_type(argv[0]) == SQLITE_TEXT &&
        EsFormaGuardada(sqlite3_value_text(argv[0]), sqlite3_value_bytes(argv[0])))
        return sqlite3_result_value(ctx, argv[0]);
    const int estilo = argc > 1 ? sqlite3_value_int(argv[1]) : 0;
    QDateTime fecha;
    if (!ValorAFecha(argv[0], estilo, fecha))
        return Fallar(ctx, mensajes::kConversionFecha, mensajes::ConversionFecha());
    DevolverTexto(ctx, FormatoISO(fecha.date(), fecha.time()));
}

void FnGetdate(sqlite3_context* ctx, int, sqlite3_value**) {
    const QDateTime ahora = QDateTime::currentDateTime();
    DevolverTexto(ctx, FormatoISO(ahora.date(), ahora.time()));
}

void FnGetutcdate(sqlite3_context* ctx, int, sqlite3_value**) {
    const QDateTime ahora = QDateTime::currentDateTimeUtc();
    DevolverTexto(ctx, FormatoISO(ahora.date(), ahora.time()));
}

// ISDATE(x): 1 when the text (or number) reads as a date as CONVERT reads it.
void FnIsdate(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_int(ctx, 0);
    QDateTime f;
    sqlite3_result_int(ctx, ValorAFecha(argv[0], 0, f) ? 1 : 0);
}

QString TextoDeValor(sqlite3_value* v) {
    if (sqlite3_value_type(v) == SQLITE_FLOAT) {
        QString s = QString::number(sqlite3_value_double(v), 'g', 15);
        return s;
    }
    return Texto(v);
}

QString FechaConEstilo(const QDateTime& f, int estilo) {
    const QDate d = f.date();
    const QTime t = f.time();
    switch (estilo) {
        case 1:
            return d.toString(QStringLiteral("MM/dd/yy"));
        case 101:
            return d.toString(QStringLiteral("MM/dd/yyyy"));
        case 3:
            return d.toString(QStringLiteral("dd/MM/yy"));
        case 103:
            return d.toString(QStringLiteral("dd/MM/yyyy"));
        case 4:
            return d.toString(QStringLiteral("dd.MM.yy"));
        case 104:
            return d.toString(QStringLiteral("dd.MM.yyyy"));
        case 5:
            return d.toString(QStringLiteral("dd-MM-yy"));
        case 105:
            return d.toString(QStringLiteral("dd-MM-yyyy"));
        case 8:
        case 108:
            return t.toString(QStringLiteral("HH:mm:ss"));
        case 12:
            return d.toString(QStringLiteral("yyMMdd"));
        case 112:
            return d.toString(QStringLiteral("yyyyMMdd"));
        case 23:
            return d.toString(QStringLiteral("yyyy-MM-dd"));
        case 120:
        case 20:
            return FormatoISO(d, t);
        case 121:
        case 21:
            return FormatoISO(d, t) + QLatin1String(".000");
        default:
            return QString();
    }
}

void FnTexto(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    const qint64 largo = argc > 1 ? sqlite3_value_int64(argv[1]) : -1;
    QString s = TextoDeValor(argv[0]);
    if (argc > 2 && sqlite3_value_type(argv[2]) != SQLITE_NULL &&
        sqlite3_value_type(argv[0]) == SQLITE_TEXT) {
        QDateTime f;
        if (LeerFechaHora(s, 0, f) && s.contains(QLatin1Char('-'))) {
            const QString conEstilo = FechaConEstilo(f, sqlite3_value_int(argv[2]));
            if (!conEstilo.isEmpty()) s = conEstilo;
        }
    }
    if (largo > 0 && s.size() > largo) s.truncate(static_cast<qsizetype>(largo));
    DevolverTexto(ctx, s);
}

// The server speaks Spanish (Español): weeks start on Monday, @@DATEFIRST 1.
constexpr int kPrimerDiaSemana = 1;

// The day of the week counted from the week's first day, 1 to 7.
int DiaDeSemana(const QDate& d) { return (d.dayOfWeek() - kPrimerDiaSemana + 7) % 7 + 1; }

enum class Parte { Anio, Trimestre, Mes, DiaDelAnio, Dia, Semana, DiaSemana, Hora, Minuto, Segundo, Ninguna };

Parte LeerParte(const QString& texto) {
    const QString p = texto.trimmed().toLower();
    if (p == QLatin1String("year") || p == QLatin1String("yy") || p == QLatin1String("yyyy"))
        return Parte::Anio;
    if (p == QLatin1String("quarter") || p == QLatin1String("qq") || p == QLatin1String("q"))
        return Parte::Trimestre;
    if (p == QLatin1String("month") || p == QLatin1String("mm") || p == QLatin1String("m")) return Parte::Mes;
    if (p == QLatin1String("dayofyear") || p == QLatin1String("dy") || p == QLatin1String("y"))
        return Parte::DiaDelAnio;
    if (p == QLatin1String("day") || p == QLatin1String("dd") || p == QLatin1String("d")) return Parte::Dia;
    if (p == QLatin1String("week") || p == QLatin1String("wk") || p == QLatin1String("ww"))
        return Parte::Semana;
    if (p == QLatin1String("weekday") || p == QLatin1String("dw")) return Parte::DiaSemana;
    if (p == QLatin1String("hour") || p == QLatin1String("hh")) return Parte::Hora;
    if (p == QLatin1String("minute") || p == QLatin1String("mi") || p == QLatin1String("n"))
        return Parte::Minuto;
    if (p == QLatin1String("second") || p == QLatin1String("ss") || p == QLatin1String("s"))
        return Parte::Segundo;
    return Parte::Ninguna;
}

void FnDateadd(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (HayNulo(argc, argv)) return sqlite3_result_null(ctx);
    const Parte parte = LeerParte(Texto(argv[0]));
    const qint64 n = sqlite3_value_int64(argv[1]);
    QDateTime f;
    if (!ValorAFecha(argv[2], 0, f))
        return Fallar(ctx, mensajes::kConversionFecha, mensajes::ConversionFecha());
    if (n > 4000000 || n < -4000000)
        return Fallar(ctx, mensajes::kDesbordamiento, mensajes::Desbordamiento(QStringLiteral("datetime")));
    const int k = static_cast<int>(n);
    switch (parte) {
        case Parte::Anio:
            f = f.addYears(k);
            break;
        case Parte::Trimestre:
            f = f.addMonths(3 * k);
            break;
        case Parte::Mes:
            f = f.addMonths(k);
            break;
        case Parte::DiaDelAnio:
        case Parte::Dia:
        case Parte::DiaSemana:
            f = f.addDays(k);
            break;
        case Parte::Semana:
            f = f.addDays(7 * static_cast<qint64>(k));
            break;
        case Parte::Hora:
            f = f.addSecs(3600 * n);
            break;
        case Parte::Minuto:
            f = f.addSecs(60 * n);
            break;
        case Parte::Segundo:
            f = f.addSecs(n);
            break;
        case Parte::Ninguna:
            return Fallar(ctx, mensajes::kSintaxis, mensajes::Sintaxis(Texto(argv[0])));
    }
    if (!f.isValid() || f.date().year() < 1753 || f.date().year() > 9999)
        return Fallar(ctx, mensajes::kDesbordamiento, mensajes::Desbordamiento(QStringLiteral("datetime")));
    DevolverTexto(ctx, FormatoISO(f.date(), f.time()));
}

qint64 SegundosDesde1900(const QDateTime& f) {
    return QDate(1900, 1, 1).daysTo(f.date()) * 86400 + f.time().msecsSinceStartOfDay() / 1000;
}

qint64 PisoDiv(qint64 a, qint64 b) {
    qint64 q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

void FnDatediff(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (HayNulo(argc, argv)) return sqlite3_result_null(ctx);
    const Parte parte = LeerParte(Texto(argv[0]));
    QDateTime a, b;
    if (!ValorAFecha(argv[1], 0, a) || !ValorAFecha(argv[2], 0, b))
        return Fallar(ctx, mensajes::kConversionFecha, mensajes::ConversionFecha());
    const qint64 sa = SegundosDesde1900(a);
    const qint64 sb = SegundosDesde1900(b);
    qint64 r = 0;
    switch (parte) {
        case Parte::Anio:
            r = b.date().year() - a.date().year();
            break;
        case Parte::Trimestre:
            r = (b.date().year() - a.date().year()) * 4 +
                ((b.date().month() - 1) / 3 - (a.date().month() - 1) / 3);
            break;
        case Parte::Mes:
            r = (b.date().year() - a.date().year()) * 12 + (b.date().month() - a.date().month());
            break;
        case Parte::DiaDelAnio:
        case Parte::Dia:
        case Parte::DiaSemana:
            r = a.date().daysTo(b.date());
            break;
        case Parte::Semana:
            // Week boundaries fall on Sundays.
            r = PisoDiv(QDate(1899, 12, 31).daysTo(b.date()), 7) -
                PisoDiv(QDate(1899, 12, 31).daysTo(a.date()), 7);
            break;
        case Parte::Hora:
            r = PisoDiv(sb, 3600) - PisoDiv(sa, 3600);
            break;
        case Parte::Minuto:
            r = PisoDiv(sb, 60) - PisoDiv(sa, 60);
            break;
        case Parte::Segundo:
            r = sb - sa;
            break;
        case Parte::Ninguna:
            return Fallar(ctx, mensajes::kSintaxis, mensajes::Sintaxis(Texto(argv[0])));
    }
    sqlite3_result_int64(ctx, r);
}

void FnDatepart(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (HayNulo(argc, argv)) return sqlite3_result_null(ctx);
    const Parte parte = LeerParte(Texto(argv[0]));
    QDateTime f;
    if (!ValorAFecha(argv[1], 0, f))
        return Fallar(ctx, mensajes::kConversionFecha, mensajes::ConversionFecha());
    const QDate d = f.date();
    qint64 r = 0;
    switch (parte) {
        case Parte::Anio:
            r = d.year();
            break;
        case Parte::Trimestre:
            r = (d.month() - 1) / 3 + 1;
            break;
        case Parte::Mes:
            r = d.month();
            break;
        case Parte::DiaDelAnio:
            r = d.dayOfYear();
            break;
        case Parte::Dia:
            r = d.day();
            break;
        case Parte::Semana:
            // January 1 is in week 1; a week begins on the week's first day.
            r = (d.dayOfYear() - 1 + DiaDeSemana(QDate(d.year(), 1, 1)) - 1) / 7 + 1;
            break;
        case Parte::DiaSemana:
            r = DiaDeSemana(d);
            break;
        case Parte::Hora:
            r = f.time().hour();
            break;
        case Parte::Minuto:
            r = f.time().minute();
            break;
        case Parte::Segundo:
            r = f.time().second();
            break;
        case Parte::Ninguna:
            return Fallar(ctx, mensajes::kSintaxis, mensajes::Sintaxis(Texto(argv[0])));
    }
    sqlite3_result_int64(ctx, r);
}

// DATENAME(parte, fecha): the month and the weekday by their Spanish names, any
// other part as the text of its number.
void FnDatename(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (HayNulo(argc, argv)) return sqlite3_result_null(ctx);
    static const char* const kMeses[] = {"Enero", "Febrero", "Marzo",     "Abril",   "Mayo",      "Junio",
                                         "Julio", "Agosto",  "Septiembre", "Octubre", "Noviembre", "Diciembre"};
    static const char* const kDias[] = {"Lunes", "Martes", "Miércoles", "Jueves", "Viernes", "Sábado", "Domingo"};
    const Parte parte = LeerParte(Texto(argv[0]));
    if (parte == Parte::Mes || parte == Parte::DiaSemana) {
        QDateTime f;
        if (!ValorAFecha(argv[1], 0, f))
            return Fallar(ctx, mensajes::kConversionFecha, mensajes::ConversionFecha());
        const QDate d = f.date();
        return DevolverTexto(ctx, QString::fromUtf8(parte == Parte::Mes ? kMeses[d.month() - 1]
                                                                         : kDias[d.dayOfWeek() - 1]));
    }
    FnDatepart(ctx, argc, argv);
}

// ------------------------------------------------------------------ LIKE

struct ElementoPatron {
    enum Tipo { Literal, Uno, Varios, Conjunto } tipo = Literal;
    QChar letra;
    bool negado = false;
    std::vector<std::pair<QChar, QChar>> rangos;
};

QChar Plegar(QChar c) { return c.toCaseFolded(); }

std::vector<ElementoPatron> CompilarPatron(const QString& patron, QChar escape, bool hayEscape) {
    std::vector<ElementoPatron> elementos;
    for (int i = 0; i < patron.size(); ++i) {
        const QChar c = patron[i];
        ElementoPatron e;
        if (hayEscape && c == escape && i + 1 < patron.size()) {
            e.tipo = ElementoPatron::Literal;
            e.letra = Plegar(patron[++i]);
        } else if (c == QLatin1Char('%')) {
            if (!elementos.empty() && elementos.back().tipo == ElementoPatron::Varios) continue;
            e.tipo = ElementoPatron::Varios;
        } else if (c == QLatin1Char('_')) {
            e.tipo = ElementoPatron::Uno;
        } else if (c == QLatin1Char('[')) {
            const int cierre = patron.indexOf(QLatin1Char(']'), i + 2);
            if (cierre < 0) {
                e.tipo = ElementoPatron::Literal;
                e.letra = c;
            } else {
                e.tipo = ElementoPatron::Conjunto;
                int k = i + 1;
                if (patron[k] == QLatin1Char('^')) {
                    e.negado = true;
                    ++k;
                }
                for (; k < cierre; ++k) {
                    const QChar desde = Plegar(patron[k]);
                    if (k + 2 < cierre && patron[k + 1] == QLatin1Char('-')) {
                        e.rangos.push_back({desde, Plegar(patron[k + 2])});
                        k += 2;
                    } else {
                        e.rangos.push_back({desde, desde});
                    }
                }
                i = cierre;
            }
        } else {
            e.tipo = ElementoPatron::Literal;
            e.letra = Plegar(c);
        }
        elementos.push_back(e);
    }
    return elementos;
}

bool Coincide(const ElementoPatron& e, QChar c) {
    const QChar p = Plegar(c);
    switch (e.tipo) {
        case ElementoPatron::Literal:
            return e.letra == p;
        case ElementoPatron::Uno:
            return true;
        case ElementoPatron::Conjunto: {
            bool dentro = false;
            for (const auto& r : e.rangos)
                if (CompararKV(QString(r.first), QString(p)) <= 0 &&
                    CompararKV(QString(p), QString(r.second)) <= 0)
                    dentro = true;
            return dentro != e.negado;
        }
        case ElementoPatron::Varios:
            return false;
    }
    return false;
}

// Greedy matching with one point of return per "%": at most the text's length
// times the pattern's, never exponential. Long texts and patterns may still
// take long: the statement's deadline is checked as the work goes on, and
// false with *vencido set is returned when it has passed.
bool Parecido(const std::vector<ElementoPatron>& patron, const QString& texto, LimiteTiempo* limite,
              bool* vencido) {
    size_t p = 0;
    qsizetype t = 0;
    size_t pRetorno = SIZE_MAX;
    qsizetype tRetorno = 0;
    unsigned pasos = 0;
    while (t < texto.size()) {
        if (limite && (++pasos & 0xFFFFu) == 0 && limite->Agotado()) {
            limite->vencido = true;
            *vencido = true;
            return false;
        }
        if (p < patron.size() && patron[p].tipo == ElementoPatron::Varios) {
            pRetorno = ++p;
            tRetorno = t;
        } else if (p < patron.size() && Coincide(patron[p], texto[t])) {
            ++p;
            ++t;
        } else if (pRetorno != SIZE_MAX) {
            p = pRetorno;
            t = ++tRetorno;
        } else {
            return false;
        }
    }
    while (p < patron.size() && patron[p].tipo == ElementoPatron::Varios) ++p;
    return p == patron.size();
}

void FnLike(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (HayNulo(argc, argv)) return sqlite3_result_null(ctx);
    const QString patron = Texto(argv[0]);
    const QString texto = Texto(argv[1]);
    QChar escape;
    bool hayEscape = false;
    if (argc > 2) {
        const QString e = Texto(argv[2]);
        if (e.size() != 1) {
            return Fallar(ctx, mensajes::kSintaxis, mensajes::Sintaxis(e));
        }
        escape = e[0];
        hayEscape = true;
    }
    bool vencido = false;
    auto* limite = static_cast<LimiteTiempo*>(sqlite3_user_data(ctx));
    const bool parecido = Parecido(CompilarPatron(patron, escape, hayEscape), texto, limite, &vencido);
    if (vencido) return sqlite3_result_error_code(ctx, SQLITE_INTERRUPT);
    sqlite3_result_int(ctx, parecido ? 1 : 0);
}

// PATINDEX(patron, texto): where the pattern first matches, from 1; 0 when it
// does not. Without a leading % the pattern must match from the first character.
void FnPatindex(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (HayNulo(argc, argv)) return sqlite3_result_null(ctx);
    const QString texto = Texto(argv[1]);
    std::vector<ElementoPatron> patron = CompilarPatron(Texto(argv[0]), QChar(), false);
    auto* limite = static_cast<LimiteTiempo*>(sqlite3_user_data(ctx));
    bool vencido = false;
    qsizetype posicion = 0;
    if (patron.empty() || patron.front().tipo != ElementoPatron::Varios) {
        posicion = !patron.empty() && Parecido(patron, texto, limite, &vencido) ? 1 : 0;
    } else {
        auto primero = patron.begin();
        while (primero != patron.end() && primero->tipo == ElementoPatron::Varios) ++primero;
        patron.erase(patron.begin(), primero);
        if (patron.empty()) posicion = texto.isEmpty() ? 0 : 1;  // '%' alone
        for (qsizetype i = 0; posicion == 0 && i < texto.size() && !vencido; ++i) {
            if (Parecido(patron, texto.mid(i), limite, &vencido)) {
                posicion = i + 1;
                break;
            }
        }
    }
    if (vencido) return sqlite3_result_error_code(ctx, SQLITE_INTERRUPT);
    sqlite3_result_int64(ctx, posicion);
}

// ------------------------------------------------------------------ result types


// kv_a_numero(x, tipo, tipoTexto): a text operand of arithmetic read as the other operand's type.
void FnANumero(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const int t = sqlite3_value_type(argv[0]);
    if (t == SQLITE_NULL) return sqlite3_result_null(ctx);
    if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) return sqlite3_result_value(ctx, argv[0]);
    const QString tipo = Texto(argv[1]);
    const QString s = Texto(argv[0]);
    const QString limpio = s.trimmed();
    const bool entero = tipo == QLatin1String("int") || tipo == QLatin1String("bigint") ||
                        tipo == QLatin1String("smallint") || tipo == QLatin1String("tinyint") ||
                        tipo == QLatin1String("bit");
    bool ok = false;
    if (entero) {
        if (limpio.isEmpty()) return sqlite3_result_int64(ctx, 0);
        const qint64 v = limpio.toLongLong(&ok);
        if (!ok)
            return Fallar(ctx, mensajes::kConversionValor,
                          mensajes::ConversionValor(s, tipo, Texto(argv[2])));
        return sqlite3_result_int64(ctx, v);
    }
    const double d = limpio.toDouble(&ok);
    if (!ok || limpio.isEmpty())
        return Fallar(
            ctx, mensajes::kConversionTipo,
            mensajes::ConversionTipo(Texto(argv[2]), tipo.isEmpty() ? QStringLiteral("float") : tipo));
    sqlite3_result_double(ctx, d);
}

// Reads a money operand: an INTEGER is whole units, a REAL is rounded to the
// ten-thousandth, a text is read exactly. Fails with 8115 past the type's
// range and 235 for a text that is no amount.
bool DiezmilesimasDeArgumento(sqlite3_context* ctx, sqlite3_value* v, qint64& n,
                              const QString& tipo = QStringLiteral("money")) {
    dinero::Lectura l;
    switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER: {
            const __int128 x = static_cast<__int128>(sqlite3_value_int64(v)) * 10000;
            l = x > static_cast<__int128>(dinero::kMaximo) || x < static_cast<__int128>(dinero::kMinimo)
                    ? dinero::Lectura::Desborda
                    : dinero::Lectura::Bien;
            if (l == dinero::Lectura::Bien) n = static_cast<qint64>(x);
            break;
        }
        case SQLITE_FLOAT:
            l = dinero::LeerReal(sqlite3_value_double(v), n);
            break;
        default:
            l = dinero::LeerTexto(Texto(v), n);
            break;
    }
    if (l == dinero::Lectura::Bien && tipo == QLatin1String("smallmoney") &&
        (n > dinero::kMaximoPequeno || n < dinero::kMinimoPequeno))
        l = dinero::Lectura::Desborda;
    if (l == dinero::Lectura::Desborda) {
        Fallar(ctx, mensajes::kDesbordamiento, mensajes::Desbordamiento(tipo));
        return false;
    }
    if (l == dinero::Lectura::MalTexto) {
        Fallar(ctx, mensajes::kTextoADinero, mensajes::TextoADinero());
        return false;
    }
    return true;
}

// A money result: a REAL while a double holds it exactly, the exact text beyond.
void DevolverDinero(sqlite3_context* ctx, qint64 n) {
    if (n <= dinero::kExactoEnReal && n >= -dinero::kExactoEnReal) return sqlite3_result_double(ctx, dinero::Real(n));
    DevolverTexto(ctx, dinero::Texto(n));
}

// kv_resultado(x, tipo): an arithmetic result as its SQL Server type holds it.
// SQLite turns an integer overflow into a real; int and bigint fail instead.
void FnResultado(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const int t = sqlite3_value_type(argv[0]);
    if (t == SQLITE_NULL) return sqlite3_result_null(ctx);
    const QString tipo = Texto(argv[1]);
    if (tipo == QLatin1String("money")) {
        qint64 n = 0;
        if (!DiezmilesimasDeArgumento(ctx, argv[0], n, tipo)) return;
        // An amount computed in doubles (a product, a quotient) is no more exact
        // than its double: it stays a number, so it orders and compares as one.
        if (t == SQLITE_FLOAT) return sqlite3_result_double(ctx, dinero::Real(n));
        return DevolverDinero(ctx, n);
    }
    if (t == SQLITE_FLOAT) {
        const double d = sqlite3_value_double(argv[0]);
        const double limite = tipo == QLatin1String("int") ? 2147483648.0 : 9223372036854775808.0;
        if (std::trunc(d) != d || d >= limite || d < -limite)
            return Fallar(ctx, mensajes::kDesbordamiento, mensajes::Desbordamiento(tipo));
        return sqlite3_result_int64(ctx, static_cast<qint64>(d));
    }
    if (t != SQLITE_INTEGER) return sqlite3_result_value(ctx, argv[0]);
    const qint64 v = sqlite3_value_int64(argv[0]);
    if (tipo == QLatin1String("int") && (v > 2147483647LL || v < -2147483648LL))
        return Fallar(ctx, mensajes::kDesbordamiento, mensajes::Desbordamiento(tipo));
    sqlite3_result_int64(ctx, v);
}

// kv_dinero(x [, tipo]): CAST and CONVERT to money or smallmoney, and what a
// money column keeps: a text exact to the ten-thousandth, a number rounded to
// four decimals, 8115 past the type's range, 235 for a text that is no amount.
void FnDinero(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    const QString tipo = argc > 1 ? Texto(argv[1]) : QStringLiteral("money");
    qint64 n = 0;
    if (!DiezmilesimasDeArgumento(ctx, argv[0], n, tipo)) return;
    DevolverDinero(ctx, n);
}

// kv_dinero_op(op, a, b): a + b, a - b, a * b and a / b of money, worked in
// whole ten-thousandths (a product rounded to four decimals, a quotient cut
// to four, as SQL Server does); 8115 when the result leaves money's range,
// 8134 for a division by zero.
void FnDineroOperacion(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL || sqlite3_value_type(argv[2]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    qint64 a = 0, b = 0;
    if (!DiezmilesimasDeArgumento(ctx, argv[1], a) || !DiezmilesimasDeArgumento(ctx, argv[2], b)) return;
    const QString op = Texto(argv[0]);
    if (op.size() != 1) return Fallar(ctx, mensajes::kDesbordamiento, mensajes::Desbordamiento(QStringLiteral("money")));
    const char c = op.at(0).toLatin1();
    if (c == '/' && b == 0) return Fallar(ctx, mensajes::kDivisionCero, mensajes::DivisionCero());
    qint64 r = 0;
    if (dinero::Operar(c, a, b, r) != dinero::Lectura::Bien)
        return Fallar(ctx, mensajes::kDesbordamiento, mensajes::Desbordamiento(QStringLiteral("money")));
    DevolverDinero(ctx, r);
}

// A number of a decimal operation at the scale it is read in: an integer
// exactly, a double to its nearest count, a text digit by digit.
bool DecimalDeArgumento(sqlite3_context* ctx, sqlite3_value* v, int escala, decimal::Entero& n) {
    decimal::Lectura l;
    switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER:
            n = sqlite3_value_int64(v);
            l = __builtin_mul_overflow(n, decimal::Potencia(escala), &n) ? decimal::Lectura::Desborda
                                                                          : decimal::Lectura::Bien;
            break;
        case SQLITE_FLOAT:
            l = decimal::LeerReal(sqlite3_value_double(v), escala, n);
            break;
        default:
            l = decimal::LeerTexto(Texto(v), escala, n);
            break;
    }
    if (l == decimal::Lectura::Bien) return true;
    if (l == decimal::Lectura::MalTexto)
        Fallar(ctx, mensajes::kConversionTipo,
               mensajes::ConversionTipo(QStringLiteral("nvarchar"), QStringLiteral("numeric")));
    else
        Fallar(ctx, mensajes::kDesbordamiento, mensajes::Desbordamiento(QStringLiteral("numeric")));
    return false;
}

// kv_decimal_op(op, a, escala de a, b, escala de b, precision, escala): a op b
// of exact decimals (money among them, as decimal(19, 4)) worked in 128-bit
// counts, the result of decimal(precision, escala); 8115 past its whole
// digits, 8134 for a division by zero. A REAL while it has at most fifteen
// significant digits, its exact text beyond.
void FnDecimalOperacion(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL || sqlite3_value_type(argv[3]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    const int sa = std::clamp(sqlite3_value_int(argv[2]), 0, decimal::kPrecisionMaxima);
    const int sb = std::clamp(sqlite3_value_int(argv[4]), 0, decimal::kPrecisionMaxima);
    decimal::Tipo r;
    r.precision = std::clamp(sqlite3_value_int(argv[5]), 1, decimal::kPrecisionMaxima);
    r.escala = std::clamp(sqlite3_value_int(argv[6]), 0, r.precision);
    decimal::Entero a = 0, b = 0, n = 0;
    if (!DecimalDeArgumento(ctx, argv[1], sa, a) || !DecimalDeArgumento(ctx, argv[3], sb, b)) return;
    const QString op = Texto(argv[0]);
    const decimal::Lectura l =
        op.size() == 1 ? decimal::Operar(op.at(0).toLatin1(), a, sa, b, sb, r, n) : decimal::Lectura::MalTexto;
    if (l == decimal::Lectura::DivisionCero) return Fallar(ctx, mensajes::kDivisionCero, mensajes::DivisionCero());
    if (l != decimal::Lectura::Bien)
        return Fallar(ctx, mensajes::kDesbordamiento, mensajes::Desbordamiento(QStringLiteral("numeric")));
    const QString texto = decimal::Texto(n, r.escala);
    if (decimal::CabeEnReal(n)) return sqlite3_result_double(ctx, std::strtod(texto.toLatin1().constData(), nullptr));
    DevolverTexto(ctx, texto);
}

// kv_dinero_clave(x): what money compares and orders by. A REAL and an exact
// text alike become eight bytes that order as the amounts do; NULL stays NULL.
void FnDineroClave(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    qint64 n = 0;
    if (!DiezmilesimasDeArgumento(ctx, argv[0], n)) return;
    const QByteArray clave = dinero::Clave(n);
    sqlite3_result_blob(ctx, clave.constData(), static_cast<int>(clave.size()), SQLITE_TRANSIENT);
}

// kv_redondear_dinero(x, lugares [, cortar]): ROUND of money, exact; the
// result is money, 8115 when rounding leaves the range.
void FnRedondearDinero(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    for (int i = 0; i < argc; ++i)
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    qint64 n = 0;
    if (!DiezmilesimasDeArgumento(ctx, argv[0], n)) return;
    const qint64 lugares = sqlite3_value_int64(argv[1]);
    const bool cortar = argc > 2 && sqlite3_value_int64(argv[2]) != 0;
    qint64 r = 0;
    if (dinero::Redondear(n, lugares, cortar, r) != dinero::Lectura::Bien)
        return Fallar(ctx, mensajes::kDesbordamiento, mensajes::Desbordamiento(QStringLiteral("money")));
    DevolverDinero(ctx, r);
}

// kv_texto_dinero(x, largo, estilo, tipo): CONVERT of money to a text, exact:
// style 0 (or NULL) two decimals, 1 with thousands commas, 2 and 126 four
// decimals; 234 when the text does not fit, 281 for another style.
void FnTextoDinero(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    qint64 n = 0;
    if (!DiezmilesimasDeArgumento(ctx, argv[0], n)) return;
    const qint64 largo = sqlite3_value_int64(argv[1]);
    const int estilo = sqlite3_value_type(argv[2]) != SQLITE_NULL ? sqlite3_value_int(argv[2]) : 0;
    QString s = dinero::TextoConEstilo(n, estilo);
    if (s.isNull()) return Fallar(ctx, mensajes::kEstiloNoValido, mensajes::EstiloNoValido(estilo));
    if (largo > 0 && s.size() > largo) return Fallar(ctx, mensajes::kEspacioInsuficiente, mensajes::EspacioInsuficiente(Texto(argv[3])));
    DevolverTexto(ctx, s);
}

// kv_suma_dinero(x): SUM of money, in whole ten-thousandths so that it is exact.
struct SumaDinero {
    __int128 total = 0;
    bool alguno = false;
    bool desbordado = false;
    bool malTexto = false;
};

void PasoSumaDinero(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* s = static_cast<SumaDinero*>(sqlite3_aggregate_context(ctx, sizeof(SumaDinero)));
    if (!s) return sqlite3_result_error_nomem(ctx);
    const int t = sqlite3_value_type(argv[0]);
    if (t == SQLITE_NULL) return;
    s->alguno = true;
    if (t == SQLITE_INTEGER) {
        s->total += static_cast<__int128>(sqlite3_value_int64(argv[0])) * 10000;
        return;
    }
    qint64 n = 0;
    dinero::Lectura l;
    if (t == SQLITE_FLOAT) {
        const double x = sqlite3_value_double(argv[0]);
        if (std::fabs(x) < 9.0e14) {
            s->total += static_cast<__int128>(DiezmilesimasDe(x));
            return;
        }
        l = dinero::LeerReal(x, n);
    } else {
        // Beyond what a double holds, money travels as its exact text.
        l = dinero::LeerTexto(Texto(argv[0]), n);
    }
    if (l == dinero::Lectura::Desborda) s->desbordado = true;
    if (l == dinero::Lectura::MalTexto) s->malTexto = true;
    if (l == dinero::Lectura::Bien) s->total += static_cast<__int128>(n);
}

void FinSumaDinero(sqlite3_context* ctx) {
    auto* s = static_cast<SumaDinero*>(sqlite3_aggregate_context(ctx, 0));
    if (!s || !s->alguno) return sqlite3_result_null(ctx);
    if (s->malTexto) return Fallar(ctx, mensajes::kTextoADinero, mensajes::TextoADinero());
    if (s->desbordado || s->total > static_cast<__int128>(dinero::kMaximo) ||
        s->total < static_cast<__int128>(dinero::kMinimo))
        return Fallar(ctx, mensajes::kDesbordamiento, mensajes::Desbordamiento(QStringLiteral("money")));
    DevolverDinero(ctx, static_cast<qint64>(s->total));
}

// kv_min_dinero(x), kv_max_dinero(x): MIN and MAX of money, compared exactly
// (a REAL and an exact text alike).
struct ExtremoDinero {
    qint64 valor = 0;
    bool alguno = false;
    bool fallo = false;
};

template <bool Maximo>
void PasoExtremoDinero(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* s = static_cast<ExtremoDinero*>(sqlite3_aggregate_context(ctx, sizeof(ExtremoDinero)));
    if (!s) return sqlite3_result_error_nomem(ctx);
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || s->fallo) return;
    qint64 n = 0;
    if (!DiezmilesimasDeArgumento(ctx, argv[0], n)) {
        s->fallo = true;
        return;
    }
    if (!s->alguno || (Maximo ? n > s->valor : n < s->valor)) s->valor = n;
    s->alguno = true;
}

void FinExtremoDinero(sqlite3_context* ctx) {
    auto* s = static_cast<ExtremoDinero*>(sqlite3_aggregate_context(ctx, 0));
    if (!s || !s->alguno || s->fallo) return sqlite3_result_null(ctx);
    DevolverDinero(ctx, s->valor);
}

// kv_nombre_objeto('[base].[dbo].[tabla]'): the object's own name, the last part.
void FnNombreObjeto(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    QString nombre = Texto(argv[0]).trimmed();
    QString ultima;
    bool dentro = false;
    for (qsizetype i = 0; i < nombre.size(); ++i) {
        const QChar c = nombre[i];
        if (c == QLatin1Char('[') && !dentro) {
            dentro = true;
        } else if (c == QLatin1Char(']') && dentro) {
            if (i + 1 < nombre.size() && nombre[i + 1] == QLatin1Char(']')) {
                ultima += c;
                ++i;
            } else {
                dentro = false;
            }
        } else if (c == QLatin1Char('.') && !dentro) {
            ultima.clear();
        } else {
            ultima += c;
        }
    }
    DevolverTexto(ctx, ultima);
}

// kv_db_id(lista, nombre) and kv_db_name(lista, id) over the session's "id<TAB>name" lines.
void FnDbId(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    const QString buscado = Texto(argv[1]).trimmed();
    for (const QString& linea : Texto(argv[0]).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList partes = linea.split(QLatin1Char('\t'));
        if (partes.size() == 2 && partes[1].compare(buscado, Qt::CaseInsensitive) == 0)
            return sqlite3_result_int64(ctx, partes[0].toLongLong());
    }
    sqlite3_result_null(ctx);
}

void FnDbName(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    const qint64 id = sqlite3_value_int64(argv[1]);
    for (const QString& linea : Texto(argv[0]).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList partes = linea.split(QLatin1Char('\t'));
        if (partes.size() == 2 && partes[0].toLongLong() == id) return DevolverTexto(ctx, partes[1]);
    }
    sqlite3_result_null(ctx);
}

// kv_sid(id) and kv_id_de_sid(sid): a login's security id. The initial
// administrator, principal 1, has 0x01 as SQL Server's sa has; every other
// login, sixteen bytes that end in its principal id.
void FnSid(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    const qint64 id = sqlite3_value_int64(argv[0]);
    if (id == 1) {
        const unsigned char uno = 1;
        return sqlite3_result_blob(ctx, &uno, 1, SQLITE_TRANSIENT);
    }
    unsigned char sid[16] = {};
    for (int i = 0; i < 8; ++i) sid[15 - i] = static_cast<unsigned char>((static_cast<quint64>(id) >> (8 * i)) & 0xff);
    sqlite3_result_blob(ctx, sid, 16, SQLITE_TRANSIENT);
}

void FnIdDeSid(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const int tipo = sqlite3_value_type(argv[0]);
    // A short binary literal reaches SQLite as a hexadecimal integer (0x01 is 1).
    if (tipo == SQLITE_INTEGER) return sqlite3_value_int64(argv[0]) == 1 ? sqlite3_result_int64(ctx, 1)
                                                                          : sqlite3_result_null(ctx);
    if (tipo != SQLITE_BLOB && tipo != SQLITE_TEXT) return sqlite3_result_null(ctx);
    // A binary literal may come as its text ("0x01").
    QByteArray bytes = tipo == SQLITE_BLOB ? QByteArray(static_cast<const char*>(sqlite3_value_blob(argv[0])),
                                                        sqlite3_value_bytes(argv[0]))
                                           : QByteArray();
    if (tipo == SQLITE_TEXT) {
        const QString t = Texto(argv[0]).trimmed();
        if (!t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) return sqlite3_result_null(ctx);
        bytes = QByteArray::fromHex(t.mid(2).toLatin1());
    }
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.constData());
    const int largo = static_cast<int>(bytes.size());
    if (largo == 1 && b[0] == 1) return sqlite3_result_int64(ctx, 1);
    if (largo != 16) return sqlite3_result_null(ctx);
    for (int i = 0; i < 8; ++i)
        if (b[i] != 0) return sqlite3_result_null(ctx);
    quint64 id = 0;
    for (int i = 8; i < 16; ++i) id = (id << 8) | b[i];
    sqlite3_result_int64(ctx, static_cast<qint64>(id));
}

// kv_lineas(lista) and kv_parte(lista, linea, campo) over "a<TAB>b" lines (1-based).
void FnLineas(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_result_int64(ctx, Texto(argv[0]).split(QLatin1Char('\n'), Qt::SkipEmptyParts).size());
}

void FnParte(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const QStringList lineas = Texto(argv[0]).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const qint64 linea = sqlite3_value_int64(argv[1]);
    const qint64 campo = sqlite3_value_int64(argv[2]);
    if (linea < 1 || linea > lineas.size()) return sqlite3_result_null(ctx);
    const QStringList campos = lineas[linea - 1].split(QLatin1Char('\t'));
    if (campo < 1 || campo > campos.size()) return sqlite3_result_null(ctx);
    DevolverTexto(ctx, campos[campo - 1]);
}

// kv_es_miembro(lista, rol, principal) over "principal<TAB>rol" lines: 1 when the
// principal holds the role, 0 when it does not, NULL when the role or the
// principal is unknown. A line with an empty principal names a role that
// exists; one with an empty role, a principal that exists.
void FnEsMiembro(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL || sqlite3_value_type(argv[2]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    const QString rol = Texto(argv[1]).trimmed();
    const QString principal = Texto(argv[2]).trimmed();
    bool hayRol = false, hayPrincipal = false, miembro = false;
    for (const QString& linea : Texto(argv[0]).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const qsizetype tab = linea.indexOf(QLatin1Char('\t'));
        if (tab < 0) continue;
        const QStringView p = QStringView(linea).left(tab), r = QStringView(linea).mid(tab + 1);
        const bool esteRol = r.compare(rol, Qt::CaseInsensitive) == 0;
        const bool estePrincipal = p.compare(principal, Qt::CaseInsensitive) == 0;
        if (p.isEmpty() && esteRol) hayRol = true;
        if (r.isEmpty() && estePrincipal) hayPrincipal = true;
        if (esteRol && estePrincipal) miembro = true;
    }
    if (!hayRol || !hayPrincipal) return sqlite3_result_null(ctx);
    sqlite3_result_int(ctx, miembro ? 1 : 0);
}

struct DefinicionFuncion {
    const char* nombre;
    int argumentos;
    bool determinista;
    void (*funcion)(sqlite3_context*, int, sqlite3_value**);
};

const DefinicionFuncion kFunciones[] = {
    {"kv_div", 2, true, &FnDiv},
    {"kv_dinero", 1, true, &FnDinero},
    {"kv_dinero", 2, true, &FnDinero},
    {"kv_dinero_op", 3, true, &FnDineroOperacion},
    {"kv_dinero_clave", 1, true, &FnDineroClave},
    {"kv_decimal_op", 7, true, &FnDecimalOperacion},
    {"kv_redondear_dinero", 2, true, &FnRedondearDinero},
    {"kv_redondear_dinero", 3, true, &FnRedondearDinero},
    {"kv_texto_dinero", 4, true, &FnTextoDinero},
    {"kv_mod", 2, true, &FnMod},
    {"kv_suma", 2, true, &FnSuma},
    {"kv_piso", 1, true, &FnPiso},
    {"kv_techo", 1, true, &FnTecho},
    {"kv_entero", 1, true, &FnEntero},
    {"kv_numero", 1, true, &FnNumero},
    {"kv_numero", 2, true, &FnNumero},
    {"kv_real", 1, true, &FnReal},
    {"kv_a_numero", 3, true, &FnANumero},
    {"kv_resultado", 2, true, &FnResultado},
    {"kv_nombre_objeto", 1, true, &FnNombreObjeto},
    {"kv_db_id", 2, true, &FnDbId},
    {"kv_db_name", 2, true, &FnDbName},
    {"kv_sid", 1, true, &FnSid},
    {"kv_id_de_sid", 1, true, &FnIdDeSid},
    {"kv_lineas", 1, true, &FnLineas},
    {"kv_parte", 3, true, &FnParte},
    {"kv_es_miembro", 3, true, &FnEsMiembro},
    {"kv_len", 1, true, &FnLen},
    {"kv_charindex", 2, true, &FnCharindex},
    {"kv_charindex", 3, true, &FnCharindex},
    {"kv_subcadena", 3, true, &FnSubcadena},
    {"kv_derecha", 2, true, &FnDerecha},
    {"kv_mayusculas", 1, true, &FnMayusculas},
    {"kv_minusculas", 1, true, &FnMinusculas},
    {"kv_reemplazar", 3, true, &FnReemplazar},
    {"kv_replicar", 2, true, &FnReplicar},
    {"kv_fecha", 1, true, &FnFecha},
    {"kv_fecha", 2, true, &FnFecha},
    {"kv_texto", 2, true, &FnTexto},
    {"kv_texto", 3, true, &FnTexto},
    {"kv_getdate", 0, false, &FnGetdate},
    {"kv_getutcdate", 0, false, &FnGetutcdate},
    {"kv_isdate", 1, true, &FnIsdate},
    {"kv_datename", 2, true, &FnDatename},
    {"kv_patindex", 2, true, &FnPatindex},
    {"kv_dateadd", 3, true, &FnDateadd},
    {"kv_datediff", 3, true, &FnDatediff},
    {"kv_datepart", 2, true, &FnDatepart},
    {"like", 2, true, &FnLike},
    {"like", 3, true, &FnLike},
};

// SQLite's own functions that translated T-SQL uses (aggregates, ISNULL,
// COALESCE, NULLIF, LTRIM/RTRIM, ABS, ROUND, SIGN, DATALENGTH, date parts,
// @@ROWCOUNT, @@IDENTITY) and the window functions T-SQL shares with SQLite.
const char* const kDelMotor[] = {"count",      "sum",         "avg",        "min",     "max",
                                 "total",      "coalesce",    "ifnull",     "nullif",  "ltrim",
                                 "rtrim",      "trim",        "abs",        "round",   "sign",
                                 "length",     "substr",      "strftime",   "changes", "last_insert_rowid",
                                 "row_number", "rank",        "dense_rank", "ntile",   "lag",
                                 "lead",       "first_value", "last_value"};

}  // namespace

int CompararKV(const QString& a, const QString& b) {
    const QByteArray ua = a.toUtf8();
    const QByteArray ub = b.toUtf8();
    return CompararUtf8(reinterpret_cast<const unsigned char*>(ua.constData()), static_cast<int>(ua.size()),
                        reinterpret_cast<const unsigned char*>(ub.constData()), static_cast<int>(ub.size()));
}

int CompararKVUtf8(const char* a, int na, const char* b, int nb) {
    return CompararUtf8(reinterpret_cast<const unsigned char*>(a), na, reinterpret_cast<const unsigned char*>(b), nb);
}

void ClaveOrdenKV(const char* texto, int largo, std::string& clave) {
    clave.clear();
    const auto* s = reinterpret_cast<const unsigned char*>(texto);
    int n = largo;
    while (n > 0 && s[n - 1] == ' ') --n;
    // Primary weights first, three bytes each (plus one, so that the end mark
    // 0,0,0 sorts before any letter), then the accents only when there is one:
    // a text without accents is a prefix of the same letters with accents.
    bool hayAcento = false;
    int i = 0;
    while (i < n) {
        const Peso p = PesoDe(LeerUtf8(s, n, i));
        const quint32 w = p.primario + 1;
        clave.push_back(char((w >> 16) & 0xFF));
        clave.push_back(char((w >> 8) & 0xFF));
        clave.push_back(char(w & 0xFF));
        hayAcento = hayAcento || p.acento != 0;
    }
    clave.append(3, '\0');
    if (!hayAcento) return;
    i = 0;
    while (i < n) {
        const Peso p = PesoDe(LeerUtf8(s, n, i));
        clave.push_back(char((p.acento >> 8) & 0xFF));
        clave.push_back(char(p.acento & 0xFF));
    }
}

QString TextoAFechaISO(const QString& texto, int estilo, bool* ok) {
    QDateTime f;
    const bool bien = LeerFechaHora(texto, estilo, f);
    if (ok) *ok = bien;
    return bien ? FormatoISO(f.date(), f.time()) : QString();
}

bool LeerErrorFuncion(const QString& textoError, int* numero, QString* mensaje) {
    static const QRegularExpression forma(QStringLiteral("^\\[(\\d+)\\] (.*)$"),
                                          QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = forma.match(textoError);
    if (!m.hasMatch()) return false;
    if (numero) *numero = m.captured(1).toInt();
    if (mensaje) *mensaje = m.captured(2);
    return true;
}

bool FuncionDelMotorPermitida(const QString& nombre) {
    const QByteArray n = nombre.toLower().toUtf8();
    for (const char* m : kDelMotor)
        if (n == m) return true;
    if (n == "kv_suma_dinero" || n == "kv_min_dinero" || n == "kv_max_dinero" || EsFuncionDeCaracteres(n) ||
        EsFuncionEscalar(n))
        return true;
    for (const DefinicionFuncion& f : kFunciones)
        if (n == f.nombre) return true;
    return false;
}

int RegistrarFuncionesTSQL(sqlite3* bd, LimiteTiempo* limite) {
    TablaPesos();
    int rc = sqlite3_create_collation_v2(bd, "KV", SQLITE_UTF8, nullptr, &ColacionKV, nullptr);
    if (rc != SQLITE_OK) return rc;
    rc = sqlite3_create_function_v2(bd, "kv_suma_dinero", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                    nullptr, &PasoSumaDinero, &FinSumaDinero, nullptr);
    if (rc != SQLITE_OK) return rc;
    rc = sqlite3_create_function_v2(bd, "kv_min_dinero", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, nullptr,
                                    &PasoExtremoDinero<false>, &FinExtremoDinero, nullptr);
    if (rc != SQLITE_OK) return rc;
    rc = sqlite3_create_function_v2(bd, "kv_max_dinero", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, nullptr,
                                    &PasoExtremoDinero<true>, &FinExtremoDinero, nullptr);
    if (rc != SQLITE_OK) return rc;
    for (const DefinicionFuncion& f : kFunciones) {
        const int banderas = SQLITE_UTF8 | (f.determinista ? SQLITE_DETERMINISTIC : 0);
        // Only LIKE and PATINDEX look at the deadline.
        void* datos = f.funcion == &FnLike || f.funcion == &FnPatindex ? static_cast<void*>(limite) : nullptr;
        rc = sqlite3_create_function_v2(bd, f.nombre, f.argumentos, banderas, datos, f.funcion, nullptr,
                                        nullptr, nullptr);
        if (rc != SQLITE_OK) return rc;
    }
    rc = RegistrarFuncionesDeCaracteres(bd);
    return rc != SQLITE_OK ? rc : RegistrarFuncionesEscalares(bd);
}

}  // namespace kv::local
