// CHAR, NCHAR, UNICODE, ASCII and FORMAT as SQL Server answers them.

#include <sqlite3.h>

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <cmath>
#include <optional>

#include "localserver/tsql/Funciones.h"
#include "localserver/tsql/Mensajes.h"
#include "localserver/tsql/ValoresFuncion.h"

namespace kv::local {

namespace {

using funcion::Devolver;
using funcion::Fallar;
using funcion::Texto;

// The characters 128 to 159 of the Windows Latin 1 code page, the one varchar
// texts of the server's collation use; the rest match Unicode.
const char16_t kWindows1252[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                   0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                   0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                   0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QChar DeCodigo1252(int c) {
    if (c >= 128 && c < 160) return QChar(kWindows1252[c - 128]);
    return QChar(static_cast<char16_t>(c));
}

int A1252(QChar q) {
    const char16_t u = q.unicode();
    if (u < 128 || (u >= 160 && u < 256)) return u;
    for (int i = 0; i < 32; ++i)
        if (kWindows1252[i] == u) return 128 + i;
    return '?';
}

// A whole number argument: integers as they are, reals truncated, texts read as int.
bool Entero(sqlite3_value* v, qint64* n) {
    switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER:
            *n = sqlite3_value_int64(v);
            return true;
        case SQLITE_FLOAT: {
            const double d = sqlite3_value_double(v);
            if (!(std::fabs(d) < 9.2e18)) return false;
            *n = static_cast<qint64>(d);
            return true;
        }
        default: {
            bool ok = false;
            *n = Texto(v).trimmed().toLongLong(&ok);
            return ok;
        }
    }
}

// CHAR(n): the character n of the code page; NULL outside 0..255.
void FnChar(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    qint64 n = 0;
    if (!Entero(argv[0], &n))
        return Fallar(ctx, mensajes::kConversionValor,
                      mensajes::ConversionValor(Texto(argv[0]), QStringLiteral("int"), QStringLiteral("varchar")));
    if (n < 0 || n > 255) return sqlite3_result_null(ctx);
    Devolver(ctx, QString(DeCodigo1252(static_cast<int>(n))));
}

// NCHAR(n): the UTF-16 character n; NULL outside 0..65535.
void FnNchar(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    qint64 n = 0;
    if (!Entero(argv[0], &n))
        return Fallar(ctx, mensajes::kConversionValor,
                      mensajes::ConversionValor(Texto(argv[0]), QStringLiteral("int"), QStringLiteral("nvarchar")));
    if (n < 0 || n > 65535) return sqlite3_result_null(ctx);
    Devolver(ctx, QString(QChar(static_cast<char16_t>(n))));
}

// UNICODE(s): the UTF-16 code of the first character; NULL for an empty text.
void FnUnicode(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    const QString s = Texto(argv[0]);
    if (s.isEmpty()) return sqlite3_result_null(ctx);
    sqlite3_result_int(ctx, s.at(0).unicode());
}

// ASCII(s): the code page's code of the first character; NULL for an empty text.
void FnAscii(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    const QString s = Texto(argv[0]);
    if (s.isEmpty()) return sqlite3_result_null(ctx);
    sqlite3_result_int(ctx, A1252(s.at(0)));
}

// --- FORMAT --------------------------------------------------------------------

// A culture name as FORMAT takes it ("es-AR", "en-US", "de"); nothing when Qt
// does not know it.
std::optional<QLocale> Cultura(const QString& nombre) {
    if (nombre.trimmed().isEmpty()) return QLocale(QLocale::English, QLocale::UnitedStates);
    const QString n = nombre.trimmed();
    static const QRegularExpression forma(QStringLiteral("^[A-Za-z]{2,3}(-[A-Za-z0-9]{2,8})*$"));
    if (!forma.match(n).hasMatch()) return std::nullopt;
    const QLocale l(n);
    if (l.language() == QLocale::C) return std::nullopt;
    return l;
}

// .NET's custom numeric format ("#,##0.00", "0.0%", "000"): one section, digits,
// grouping, a decimal point, percent and literal text around the number.
std::optional<QString> NumeroPersonalizado(double x, const QString& formato, const QLocale& l) {
    QString prefijo, sufijo, mascara;
    bool enMascara = false, pasada = false, porcentaje = false;
    for (qsizetype i = 0; i < formato.size(); ++i) {
        const QChar c = formato[i];
        if (c == QLatin1Char(';')) break;  // further sections: only the first is used
        const bool deMascara = c == QLatin1Char('#') || c == QLatin1Char('0') ||
                               (enMascara && !pasada && (c == QLatin1Char(',') || c == QLatin1Char('.')));
        if (deMascara && !pasada) {
            enMascara = true;
            mascara += c;
            continue;
        }
        if (enMascara) pasada = true;
        QString literal;
        if (c == QLatin1Char('\\') && i + 1 < formato.size()) {
            literal = formato[++i];
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            const qsizetype fin = formato.indexOf(c, i + 1);
            if (fin < 0) return std::nullopt;
            literal = formato.mid(i + 1, fin - i - 1);
            i = fin;
        } else if (c == QLatin1Char('%')) {
            porcentaje = true;
            literal = l.percent();
        } else {
            literal = c;
        }
        (enMascara ? sufijo : prefijo) += literal;
    }
    if (mascara.isEmpty()) return prefijo + sufijo;
    if (porcentaje) x *= 100.0;
    const qsizetype punto = mascara.indexOf(QLatin1Char('.'));
    const QString entera = punto < 0 ? mascara : mascara.left(punto);
    const QString fraccion = punto < 0 ? QString() : mascara.mid(punto + 1);
    const bool agrupar = entera.contains(QLatin1Char(','));
    const int minimos = static_cast<int>(entera.count(QLatin1Char('0')));
    const int decimalesFijos = static_cast<int>(fraccion.count(QLatin1Char('0')));
    const int decimales = static_cast<int>(fraccion.count(QLatin1Char('0')) + fraccion.count(QLatin1Char('#')));
    const bool negativo = x < 0;
    const double redondeado = std::round(std::fabs(x) * std::pow(10.0, decimales)) / std::pow(10.0, decimales);
    QString digitos = QString::number(redondeado, 'f', decimales);
    QString ent = digitos.section(QLatin1Char('.'), 0, 0);
    QString fra = decimales > 0 ? digitos.section(QLatin1Char('.'), 1, 1) : QString();
    while (fra.size() > decimalesFijos && fra.endsWith(QLatin1Char('0'))) fra.chop(1);
    if (ent == QLatin1String("0") && minimos == 0) ent.clear();
    while (ent.size() < minimos) ent.prepend(QLatin1Char('0'));
    if (agrupar) {
        QString g;
        for (qsizetype i = 0; i < ent.size(); ++i) {
            if (i > 0 && (ent.size() - i) % 3 == 0) g += l.groupSeparator();
            g += ent[i];
        }
        ent = g;
    }
    QString r = ent;
    if (!fra.isEmpty()) r += l.decimalPoint() + fra;
    const bool cero = redondeado == 0;
    return (negativo && !cero ? l.negativeSign() : QString()) + prefijo + r + sufijo;
}

std::optional<QString> FormatoNumero(double x, bool entero, qint64 n, const QString& formato, const QLocale& l) {
    static const QRegularExpression estandar(QStringLiteral("^([CcDdEeFfGgNnPpXx])(\\d{0,2})$"));
    const auto m = estandar.match(formato);
    if (!m.hasMatch()) return NumeroPersonalizado(x, formato, l);
    const QChar letra = m.captured(1).at(0).toUpper();
    const bool conPrecision = !m.captured(2).isEmpty();
    const int p = m.captured(2).toInt();
    QLocale sin = l;
    sin.setNumberOptions(QLocale::OmitGroupSeparator);
    switch (letra.unicode()) {
        case 'N':
            return l.toString(x, 'f', conPrecision ? p : 2);
        case 'F':
            return sin.toString(x, 'f', conPrecision ? p : 2);
        case 'E': {
            QString s = sin.toString(x, 'e', conPrecision ? p : 6);
            if (m.captured(1).at(0).isUpper()) s = s.toUpper();
            return s;
        }
        case 'G':
            return entero ? sin.toString(n) : sin.toString(x, 'g', conPrecision && p > 0 ? p : 15);
        case 'P':
            return l.toString(x * 100.0, 'f', conPrecision ? p : 2) +
                   (l.language() == QLocale::English ? QString() : QStringLiteral(" ")) + l.percent();
        case 'C':
            return l.toCurrencyString(x, QString(), conPrecision ? p : 2);
        case 'D': {
            if (!entero) return std::nullopt;
            QString s = QString::number(std::llabs(n));
            while (s.size() < p) s.prepend(QLatin1Char('0'));
            return (n < 0 ? l.negativeSign() : QString()) + s;
        }
        case 'X': {
            if (!entero) return std::nullopt;
            QString s = QString::number(static_cast<quint64>(n), 16);
            if (m.captured(1).at(0).isUpper()) s = s.toUpper();
            while (s.size() < p) s.prepend(QLatin1Char('0'));
            return s;
        }
        default:
            return std::nullopt;
    }
}

// .NET date patterns in Qt's words: tt is the AM/PM mark, f the fractions, K and z offsets (none here).
QString PatronQt(const QString& net) {
    QString r;
    for (qsizetype i = 0; i < net.size();) {
        const QChar c = net[i];
        qsizetype k = i;
        while (k < net.size() && net[k] == c) ++k;
        const qsizetype n = k - i;
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            const qsizetype fin = net.indexOf(c, i + 1);
            const QString literal = net.mid(i + 1, (fin < 0 ? net.size() : fin) - i - 1);
            r += QLatin1Char('\'') + QString(literal).replace(QLatin1String("'"), QLatin1String("''")) +
                 QLatin1Char('\'');
            i = fin < 0 ? net.size() : fin + 1;
            continue;
        }
        if (c == QLatin1Char('\\') && i + 1 < net.size()) {
            r += QLatin1Char('\'') + QString(net[i + 1]) + QLatin1Char('\'');
            i += 2;
            continue;
        }
        if (c == QLatin1Char('t')) {
            r += QStringLiteral("AP");
        } else if (c == QLatin1Char('f') || c == QLatin1Char('F')) {
            r += QStringLiteral("zzz");
        } else if (c == QLatin1Char('y') || c == QLatin1Char('M') || c == QLatin1Char('d') || c == QLatin1Char('H') ||
                   c == QLatin1Char('h') || c == QLatin1Char('m') || c == QLatin1Char('s')) {
            r += QString(n, c);
        } else if (c.isLetter()) {
            r += QLatin1Char('\'') + QString(n, c) + QLatin1Char('\'');
        } else {
            r += QString(n, c);
        }
        i = k;
    }
    return r;
}

std::optional<QString> FormatoFecha(const QDateTime& f, const QString& formato, const QLocale& l) {
    if (formato.size() == 1) {
        switch (formato[0].unicode()) {
            case 'd':
                return l.toString(f.date(), QLocale::ShortFormat);
            case 'D':
                return l.toString(f.date(), QLocale::LongFormat);
            case 't':
                return l.toString(f.time(), QLocale::ShortFormat);
            case 'T':
                return l.toString(f.time(), QLocale::LongFormat).section(QLatin1Char(' '), 0, 0);
            case 'g':
                return l.toString(f.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
                       l.toString(f.time(), QLocale::ShortFormat);
            case 'G':
                return l.toString(f.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
                       l.toString(f.time(), QLocale::LongFormat).section(QLatin1Char(' '), 0, 0);
            case 's':
                return f.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
            case 'u':
                return f.toString(QStringLiteral("yyyy-MM-dd HH:mm:ssZ"));
            case 'M':
            case 'm':
                return l.toString(f.date(), l.language() == QLocale::English ? QStringLiteral("MMMM d")
                                                                             : QStringLiteral("d 'de' MMMM"));
            case 'Y':
            case 'y':
                return l.toString(f.date(), l.language() == QLocale::English ? QStringLiteral("MMMM yyyy")
                                                                             : QStringLiteral("MMMM 'de' yyyy"));
            default:
                return std::nullopt;
        }
    }
    return l.toString(f, PatronQt(formato));
}

// kv_format(valor, formato, cultura, clase): clase 'fecha' for date types,
// 'numero' for numbers, '' when unknown (a text that reads as a date is one).
void FnFormat(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    const QString cultura = argc > 2 && sqlite3_value_type(argv[2]) != SQLITE_NULL ? Texto(argv[2]) : QString();
    const auto l = Cultura(cultura);
    if (!l) return Fallar(ctx, mensajes::kCulturaFormat, mensajes::CulturaFormat(cultura));
    const QString formato = Texto(argv[1]);
    const QString clase = argc > 3 ? Texto(argv[3]) : QString();
    const int tipo = sqlite3_value_type(argv[0]);
    std::optional<QString> r;
    if (tipo == SQLITE_TEXT) {
        const QString s = Texto(argv[0]);
        QDateTime f = QDateTime::fromString(s.left(19), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (!f.isValid()) f = QDateTime(QDate::fromString(s.left(10), QStringLiteral("yyyy-MM-dd")), QTime(0, 0));
        if (!f.isValid() || clase == QLatin1String("numero"))
            return Fallar(ctx, mensajes::kArgumentoFormat, mensajes::ArgumentoFormat());
        r = FormatoFecha(f, formato, *l);
    } else if (tipo == SQLITE_INTEGER) {
        const qint64 n = sqlite3_value_int64(argv[0]);
        r = FormatoNumero(static_cast<double>(n), true, n, formato, *l);
    } else if (tipo == SQLITE_FLOAT) {
        r = FormatoNumero(sqlite3_value_double(argv[0]), false, 0, formato, *l);
    } else {
        return Fallar(ctx, mensajes::kArgumentoFormat, mensajes::ArgumentoFormat());
    }
    // A format .NET cannot apply gives NULL, as SQL Server does.
    if (!r) return sqlite3_result_null(ctx);
    Devolver(ctx, *r);
}

struct Definicion {
    const char* nombre;
    int argumentos;
    void (*funcion)(sqlite3_context*, int, sqlite3_value**);
};

const Definicion kDefiniciones[] = {
    {"kv_char", 1, &FnChar},       {"kv_nchar", 1, &FnNchar},     {"kv_unicode", 1, &FnUnicode},
    {"kv_ascii", 1, &FnAscii},     {"kv_format", 4, &FnFormat},
};

}  // namespace

int RegistrarFuncionesDeCaracteres(sqlite3* bd) {
    for (const Definicion& d : kDefiniciones) {
        const int rc = sqlite3_create_function_v2(bd, d.nombre, d.argumentos, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                                  nullptr, d.funcion, nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) return rc;
    }
    return SQLITE_OK;
}

bool EsFuncionDeCaracteres(const QByteArray& nombre) {
    for (const Definicion& d : kDefiniciones)
        if (nombre == d.nombre) return true;
    return false;
}

}  // namespace kv::local
